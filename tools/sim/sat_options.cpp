#include "sat_options.h"

#include <cerrno>
#include <cstdlib>
#include <set>

namespace sim {
namespace {

bool ToLong(const std::string& text, long min, long max, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= min && value <= max;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// "A-B" with min <= A <= B <= max.
bool ToRange(const std::string& text, long min, long max, long& from, long& to) {
  const std::vector<std::string> ends = Split(text, '-');
  return ends.size() == 2 && ToLong(ends[0], min, max, from) && ToLong(ends[1], min, max, to) &&
         from <= to;
}

// A version the "8$" reply can carry: one major digit, '.', one or more minor digits.
bool IsBiosVersion(const std::string& text) {
  if (text.size() < 3 || text[0] < '0' || text[0] > '9' || text[1] != '.') return false;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text.size() <= 8;
}

// One "key=value" of a station description that every kind of station knows.
bool ParseFault(const std::string& key, const std::string& value, StationFaults& f) {
  long a = 0;
  long b = 0;
  if (key == "mute" && value == "all") {
    f.muteAll = true;
  } else if (key == "mute" && ToLong(value, 1, 1000000000L, a)) {
    f.muteFirst = a;
  } else if (key == "mute-from" && ToLong(value, 1, 1000000000L, a)) {
    f.muteFrom = a;
  } else if (key == "offline" && ToRange(value, 1, 1000000000L, a, b)) {
    f.offlineFrom = a;
    f.offlineTo = b;
  } else if (key == "bad-checksum" && ToLong(value, 1, 1000000000L, a)) {
    f.badChecksum.push_back(a);
  } else {
    return false;
  }
  return true;
}

bool ParseSatellite(const std::string& text, SatelliteSetup& sat, std::string& error) {
  const std::vector<std::string> parts = Split(text, ',');
  long v = 0;
  if (!ToLong(parts[0], 1, 99, v)) {
    error = "Ungültige Satelliten-ID: \"" + parts[0] + "\" (erlaubt 1 bis 99)";
    return false;
  }
  sat.id = static_cast<int>(v);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::size_t eq = parts[i].find('=');
    const std::string key = parts[i].substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : parts[i].substr(eq + 1);
    long a = 0;
    long b = 0;
    bool ok = true;
    if (key == "bios") {
      ok = IsBiosVersion(value);
      sat.bios = value;
    } else if (key == "terms") {
      ok = ToRange(value, 1, 100, a, b);
      sat.firstTerm = static_cast<int>(a);
      sat.lastTerm = static_cast<int>(b);
    } else if (key == "switching") {
      ok = ToLong(value, 0, 1000000, a);
      sat.switching = static_cast<int>(a);
    } else if (key == "deliver-after") {
      ok = ToLong(value, 0, 1000000, a);
      sat.deliverAfter = static_cast<int>(a);
    } else if (key == "refuse") {
      ok = ToLong(value, 0, 1000000, a);
      sat.refuse = static_cast<int>(a);
    } else if (key == "rate") {
      ok = ToLong(value, 300, 230400, a) && (a == 9600 || a == 19200 || a == 38400);
      sat.rate = static_cast<int>(a);
    } else if (key == "delay") {
      ok = ToLong(value, 0, 60000, a);
      sat.delayMs = static_cast<int>(a);
    } else {
      ok = ParseFault(key, value, sat.faults);
    }
    if (!ok) {
      error = "Ungültige Angabe \"" + parts[i] + "\" bei --sat " + text;
      return false;
    }
  }
  return true;
}

bool ParseStation(const std::string& text, StationSetup& station, std::string& error) {
  const std::vector<std::string> parts = Split(text, ',');
  long v = 0;
  if (!ToLong(parts[0], 1, 100, v)) {
    error = "Ungültige Nummer des stationären Terminals: \"" + parts[0] + "\" (erlaubt 1 bis 100)";
    return false;
  }
  station.number = static_cast<int>(v);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::size_t eq = parts[i].find('=');
    const std::string value = eq == std::string::npos ? "" : parts[i].substr(eq + 1);
    if (!ParseFault(parts[i].substr(0, eq), value, station.faults)) {
      error = "Ungültige Angabe \"" + parts[i] + "\" bei --station " + text;
      return false;
    }
  }
  return true;
}

// "T:K": terminal 1..100, record number >= 1.
bool ParseTermEvent(const std::string& text, TermEvent& event) {
  const std::vector<std::string> parts = Split(text, ':');
  long t = 0;
  long k = 0;
  if (parts.size() != 2 || !ToLong(parts[0], 1, 100, t) || !ToLong(parts[1], 1, 1000000000L, k)) {
    return false;
  }
  event = TermEvent{static_cast<int>(t), k};
  return true;
}

// The record pattern ends up inside reply frames: only printable 7-bit text, no end markers,
// and short enough that a line stays within a reply of 256 bytes even with a 7-digit {N}.
bool IsRecordPattern(const std::string& text) {
  std::size_t numbers = 0;
  for (std::size_t at = text.find("{N}"); at != std::string::npos; at = text.find("{N}", at + 3)) {
    ++numbers;
  }
  if (text.empty() || text.size() + 4 * numbers > 200) return false;
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return text.find("<EOF>") == std::string::npos && text.find("<EOT>") == std::string::npos &&
         text.find("||") == std::string::npos && text.front() != '|' && text.back() != '|';
}

}  // namespace

const char* SatHelpText() {
  return "quillon-sim satellites - spielt alle Stationen eines Funknetzes an einer Leitung:\n"
         "Satelliten (Adressbyte ID+100) und stationäre Terminals (Adressbyte = Nummer)\n"
         "\n"
         "Aufruf:\n"
         "  quillon-sim satellites (--pty [--print-path DATEI] | --device PFAD) [--baud N]\n"
         "              [Stationen] [Datensätze] [Ausgabe]\n"
         "\n"
         "Leitung:\n"
         "  --pty                 legt ein Pseudo-Terminal-Paar an; erste Ausgabezeile\n"
         "                        \"LINE <Gerätepfad>\"\n"
         "  --print-path DATEI    schreibt den Gerätepfad zusätzlich in DATEI\n"
         "  --device PFAD         benutzt die serielle Schnittstelle PFAD (8N1, roh)\n"
         "  --baud N              Baudrate der Schnittstelle bzw. für --pace (Vorgabe 9600)\n"
         "  --pace                schreibt nicht schneller als die Baudrate (10 Bit je Byte)\n"
         "  --stay                schließt die Gegenseite die Leitung, wird auf ihr erneutes\n"
         "                        Öffnen gewartet (bis SIGTERM/SIGINT); der Zustand bleibt\n"
         "  --open-timeout MS     Wartezeit auf das Öffnen der Leitung (Vorgabe 30000)\n"
         "\n"
         "Stationen (mehrfach angebbar):\n"
         "  --sat ID[,SCHLÜSSEL=WERT...]   Satellit ID (1..99); Schlüssel:\n"
         "      bios=X.Y          BIOS-Version (Vorgabe 6.2); \"8$\" antwortet \"V:X R.Y\"\n"
         "                        (3. Zeichen Hauptversion, ab dem 7. Zeichen Nebenversion);\n"
         "                        unter 6.2 wird \"W\" mit \"<NAK>\" abgelehnt\n"
         "      terms=A-B         Bereich der Terminals (Vorgabe 1-16)\n"
         "      switching=N       nach jedem \"4\"/\"4$\" antworten N Antworten (auf \"4\" und\n"
         "                        die folgenden \"5\") abwechselnd \"<SYS>\" und \"<RUN>\"\n"
         "      deliver-after=N   \"D\" antwortet N-mal \"<DEL>\", danach \"<ACK>\" (Vorgabe 0);\n"
         "                        derselbe Datensatz erneut angenommen zählt weiter\n"
         "      refuse=N          lehnt die ersten N Datensätze für Terminals (\"O\" bzw. \"W\")\n"
         "                        mit \"<NAK>\" ab\n"
         "      rate=N            hört und sendet nur mit N Baud (9600, 19200, 38400); ohne\n"
         "                        rate= hört er jede Rate, bis ein \"L\" eine einstellt. Es\n"
         "                        zählt die Rate, die der PC auf seinem Ende des\n"
         "                        Pseudo-Terminals eingestellt hat (bei --device die eigene).\n"
         "                        Eine Anfrage mit anderer Rate bleibt ohne Antwort (\"DEAF\" im\n"
         "                        Log); eine Antwort, während der PC mit anderer Rate liest,\n"
         "                        kommt bei ihm als Zeichensalat an\n"
         "      delay=MS          wartet vor jeder Antwort MS Millisekunden\n"
         "  Dieselbe Satelliten-ID darf mehrfach vorkommen: Die Satelliten antworten zugleich,\n"
         "  ihre Signale überlagern sich auf der Leitung (Leerlauf überall dort, wo keiner\n"
         "  sendet, sonst gewinnt eine 0); gleiche Antworten im selben Augenblick kommen\n"
         "  unverändert an, sonst kommt Zeichensalat an\n"
         "  --station NR[,SCHLÜSSEL=WERT...]  stationäres Terminal NR (1..100)\n"
         "  Fehler (bei beiden, gezählt nach den an die Station gerichteten Anfragen ab 1):\n"
         "      mute=all          antwortet nie\n"
         "      mute=N            lässt die ersten N Anfragen unbeantwortet\n"
         "      mute-from=N       antwortet ab Anfrage N nicht mehr\n"
         "      offline=A-B       ist für die Anfragen A bis B offline (Polling aus), dann\n"
         "                        wieder da; gibt \"OFFLINE <ID>\" und \"ONLINE <ID>\" aus\n"
         "      bad-checksum=N    sendet ihre N-te Antwortzeile mit falscher Prüfsumme\n"
         "                        (mehrfach angebbar)\n"
         "\n"
         "Datensätze der Terminals:\n"
         "  --records N           Datensätze je Terminal (Vorgabe 0); ein Satellit erhält die\n"
         "                        Zeilen seiner Terminals nur, während er pollt; ein\n"
         "                        stationäres Terminal hat seine von Anfang an\n"
         "  --burst N             Zeilen je Terminal, die bei jedem Start des Pollings (\"3\"/\n"
         "                        \"3$\") in den Puffer des Satelliten kommen (Vorgabe 1, 0: "
         "alle)\n"
         "  --term-id             jede Zeile beginnt mit der 3-stelligen Terminalnummer\n"
         "  --counter             danach ein 2-stelliger Zähler je Terminal: 02, 03, ... 99, 01;\n"
         "                        er rückt je Feld der Zeile weiter\n"
         "  --binary-digits       jede zweite Zeile (die erste, dritte, ...) trägt den Zähler und\n"
         "                        die letzten zwei Ziffern der Terminalnummer je als ein Byte\n"
         "                        ab 128 (128 + Einer*10 + Zehner)\n"
         "  --record-text MUSTER  Text eines Datensatzes (Vorgabe \"T{T}R{N}\"): {T} wird zur\n"
         "                        3-stelligen Terminalnummer, {N} zur Nummer des Datensatzes;\n"
         "                        \"|\" trennt Felder; nur druckbare 7-Bit-Zeichen\n"
         "  --restart T:K         Terminal T sendet seinen Datensatz K mit Zähler \"-1\" und "
         "zählt\n"
         "                        danach neu (braucht --counter)\n"
         "  --ping T:K            Terminal T sendet vor seinem Datensatz K eine Zeile mit Zähler\n"
         "                        \"00\": \"PING\" und der Zahl nach dem zuletzt zugestellten\n"
         "                        Zähler (\"00\" ohne Zustellung) (braucht --counter)\n"
         "\n"
         "Antworten: \"0*\" sendet die gespeicherten Zeilen einzeln (die erste mit ACK, jede "
         "weitere\n"
         "nach einem ACK des PCs), dann \"<EOF>\" (Satellit) bzw. \"<EOT>\" (stationäres\n"
         "Terminal, dessen erste Zeile \"KOPF <Nr>\" ist); erst \"1*\" nach einem vollständigen\n"
         "Lesen löscht sie. \"O\"/\"2\"/\"C\" und \"W\" nehmen Datensätze für Terminals im "
         "Bereich\n"
         "an; \"L\" stellt Adresse, Bereich und Baudrate um (geantwortet wird noch mit der\n"
         "alten Rate); sonst \"<ACK>\", \"8\" gibt \"SAT<ID>\" bzw. \"TERM<Nr>\", Unbekanntes\n"
         "\"<NAK>\". Falsche Rahmen und unbekannte Adressen bleiben ohne Antwort.\n"
         "\n"
         "Ausgabe (stdout, eine Zeile je Ereignis; Zeiten in s von CLOCK_MONOTONIC):\n"
         "  POLLING <ID> ON|OFF <Zeit>   RELEASED <ID> <Zeilen>   READ <ID> <Zeilen>\n"
         "  CONFIRMED <ID> <Zeilen>   ACCEPTED <ID> <Terminal> <Text>   DELIVERED <ID> <Terminal>\n"
         "  CONFIGURED <ID> <neue ID> <A>-<B> <Baud>   OFFLINE <ID>   ONLINE <ID>\n"
         "  (stationäre Terminals erscheinen als T<Nr>); am Ende: RECORDS SENT <n> (Zeilen, die\n"
         "  mindestens einmal gesendet wurden), CONFIRMED <n>, RECORDS ACCEPTED <n>,\n"
         "  RECORDS LEFT <n> (Zeilen in Puffern und noch nicht freigegebene Datensätze)\n"
         "  Texte in Ausgabe und Dateien: Bytes unter 32, ab 127 und \"\\\" als \\xHH\n"
         "  --accepted DATEI      je angenommenem Datensatz für ein Terminal eine Zeile\n"
         "                        \"<ID> <Terminal> <Text>\"\n"
         "  --confirmed DATEI     je mit \"1*\" übernommener Zeile eine Zeile \"<ID> <Zeile>\",\n"
         "                        Bytes ab 128 in Ziffern umgesetzt\n"
         "  --log DATEI           jede Anfrage und Antwort mit Zeit: \"<Zeit> RX <Adresse> "
         "<Text>\",\n"
         "                        \"<Zeit> TX <Adresse> <Daten>\", \"<Zeit> RAWACK\", \"<Zeit> "
         "BAD\n"
         "                        <Grund>\", \"<Zeit> POLLING <ID> ON|OFF\", \"<Zeit> DEAF <ID>\n"
         "                        <Rate des PCs>\", \"<Zeit> NOISE <was beim PC ankommt>\"\n"
         "\n"
         "  --help                diese Hilfe\n"
         "\n"
         "Ende mit SIGTERM/SIGINT oder wenn die Gegenseite die Leitung schließt (Rückgabewert 0);\n"
         "1 bei Fehlern der Leitung oder Dateien, 2 bei falschem Aufruf.\n";
}

bool ParseSatOptions(int argc, char** argv, SatOptions& o, std::string& error) {
  bool baudGiven = false;
  bool printPathGiven = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = "Option " + arg + " braucht einen Wert";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto number = [&](long min, long max, long& out) {
      std::string text;
      if (!value(text)) return false;
      if (!ToLong(text, min, max, out)) {
        error = "Ungültiger Wert für " + arg + ": " + text;
        return false;
      }
      return true;
    };
    long v = 0;
    std::string text;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return true;
    } else if (arg == "--pty") {
      o.pty = true;
    } else if (arg == "--print-path") {
      if (!value(o.printPath)) return false;
      printPathGiven = true;
    } else if (arg == "--device") {
      if (!value(o.device)) return false;
    } else if (arg == "--baud") {
      if (!number(50, 4000000, v)) return false;
      o.baud = static_cast<int>(v);
      baudGiven = true;
    } else if (arg == "--pace") {
      o.pace = true;
    } else if (arg == "--stay") {
      o.stay = true;
    } else if (arg == "--open-timeout") {
      if (!number(0, 3600000, v)) return false;
      o.openTimeoutMs = static_cast<int>(v);
    } else if (arg == "--sat") {
      SatelliteSetup sat;
      if (!value(text) || !ParseSatellite(text, sat, error)) return false;
      o.satellites.push_back(sat);
    } else if (arg == "--station") {
      StationSetup station;
      if (!value(text) || !ParseStation(text, station, error)) return false;
      o.stations.push_back(station);
    } else if (arg == "--records") {
      if (!number(0, 1000000, o.records)) return false;
    } else if (arg == "--burst") {
      if (!number(0, 1000000, o.burst)) return false;
    } else if (arg == "--term-id") {
      o.termId = true;
    } else if (arg == "--counter") {
      o.counter = true;
    } else if (arg == "--binary-digits") {
      o.binaryDigits = true;
    } else if (arg == "--record-text") {
      if (!value(o.recordText)) return false;
      if (!IsRecordPattern(o.recordText)) {
        error =
            "Ungültiges Muster für --record-text (druckbare 7-Bit-Zeichen, höchstens 200 "
            "nach dem Einsetzen, keine leeren Felder, kein <EOF>/<EOT>)";
        return false;
      }
    } else if (arg == "--restart" || arg == "--ping") {
      TermEvent event;
      if (!value(text)) return false;
      if (!ParseTermEvent(text, event)) {
        error = "Ungültiger Wert für " + arg + ": " + text + " (erwartet Terminal:Datensatz)";
        return false;
      }
      (arg == "--restart" ? o.restarts : o.pings).push_back(event);
    } else if (arg == "--accepted") {
      if (!value(o.acceptedFile)) return false;
    } else if (arg == "--confirmed") {
      if (!value(o.confirmedFile)) return false;
    } else if (arg == "--log") {
      if (!value(o.logFile)) return false;
    } else {
      error = "Unbekannte Option: " + arg;
      return false;
    }
  }
  if (o.pty == !o.device.empty()) {
    error = "Genau eines von --pty und --device PFAD ist anzugeben";
    return false;
  }
  if (printPathGiven && !o.pty) {
    error = "--print-path gilt nur mit --pty";
    return false;
  }
  if (baudGiven && o.device.empty() && !o.pace) {
    error = "--baud gilt nur mit --device oder --pace";
    return false;
  }
  if ((!o.restarts.empty() || !o.pings.empty()) && !o.counter) {
    error = "--restart und --ping gelten nur mit --counter";
    return false;
  }
  if (o.binaryDigits && !o.counter && !o.termId) {
    error = "--binary-digits braucht --counter oder --term-id";
    return false;
  }
  std::set<int> numbers;
  for (const StationSetup& station : o.stations) numbers.insert(station.number);
  if (numbers.size() != o.stations.size()) {
    error = "Jede Terminalnummer darf nur einmal vorkommen";
    return false;
  }
  return true;
}

}  // namespace sim
