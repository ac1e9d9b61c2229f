#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace sim {
namespace {

bool ToInt(const std::string& text, long min, long max, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= min && value <= max;
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

bool IsAddress(const std::string& text) {
  if (text.empty() || text.size() > 16) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

const char* HelpText() {
  return "quillon-sim - spielt das MDE-Gerät am anderen Ende einer seriellen Leitung, auf Wunsch\n"
         "hinter einem antwortenden Modem\n"
         "\n"
         "Aufruf:\n"
         "  quillon-sim [terminal] (--pty [--print-path DATEI] | --device PFAD [--baud N])\n"
         "              [Aktionen] [Fehler] [Zeiten]\n"
         "  quillon-sim modem (--pty [--print-path DATEI] | --device PFAD [--baud N])\n"
         "              [Modem] [Aktionen] [Fehler] [Zeiten]\n"
         "  quillon-sim uploader (--pty [--print-path DATEI] | --device PFAD [--baud N])\n"
         "              [Uploader] [--ack-timeout MS]\n"
         "  quillon-sim satellites ...  Satelliten eines Funknetzes (eigene Optionen, siehe\n"
         "              quillon-sim satellites --help)\n"
         "\n"
         "Leitung:\n"
         "  --pty                 legt ein Pseudo-Terminal-Paar an; die erste Ausgabezeile ist\n"
         "                        \"LINE <Gerätepfad>\"; Aktionen beginnen erst, wenn die\n"
         "                        Gegenseite die Leitung geöffnet hat\n"
         "  --print-path DATEI    schreibt den Gerätepfad zusätzlich in DATEI\n"
         "  --device PFAD         benutzt die serielle Schnittstelle PFAD (8N1, roh)\n"
         "  --baud N              Baudrate für --device (Vorgabe 9600)\n"
         "  --open-timeout MS     so lange wird auf das Öffnen der Leitung gewartet\n"
         "                        (Vorgabe 30000)\n"
         "\n"
         "Aktionen (in dieser Reihenfolge; ohne Aktion wird die Leitung nur gehalten):\n"
         "  --answer-polls A[,B]  wartet vor jeder Übertragung auf das Polling einer dieser\n"
         "                        Adressen, antwortet mit ACK und gibt \"POLLED A\" aus\n"
         "  --send DATEI          sendet DATEI als Übertragung: Kopfblock, ein Block je Zeile\n"
         "                        (längere Zeilen als 255 Byte in mehreren Blöcken), Endeblock;\n"
         "                        gibt \"SENT <Nr> <Blöcke> <NAKs>\" aus\n"
         "  --header TEXT         Text des Kopfblocks (Vorgabe \"QUILLON-SIM,<Dateiname>\")\n"
         "  --transfers N         sendet die Datei N-mal (Vorgabe 1)\n"
         "  --hold-after N        hält die erste Übertragung an, sobald N Blöcke angenommen\n"
         "                        sind (der Kopfblock ist Block 1, N vor dem Endeblock), gibt\n"
         "                        \"HOLD <N>\" aus und hält die Leitung, bis die Gegenseite sie\n"
         "                        schließt oder SIGTERM/SIGINT kommt; endet dann mit 1\n"
         "  --clock               nach jeder Übertragung: NAK senden, die Uhrzeit empfangen und\n"
         "                        \"CLOCK <nnhhddmmyyss>\" ausgeben\n"
         "  --clock-delay MS      Wartezeit vor diesem NAK (Vorgabe 0)\n"
         "  --receive DATEI       empfängt eine Übertragung und schreibt Kopf und Blöcke als\n"
         "                        Zeilen (CR LF) nach DATEI; gibt \"RECEIVED <Blöcke>\" und\n"
         "                        \"HEADER <Text>\" aus; mehrmals angegeben: eine\n"
         "                        Übertragung je Datei, in dieser Reihenfolge\n"
         "  --then-send DATEI     sendet danach DATEI einmal (ohne Uhrzeit); gibt\n"
         "                        \"SENT AFTER <Blöcke> <NAKs>\" aus\n"
         "  --start-nak           sendet vor dem Empfang ein NAK (empfangsbereit)\n"
         "  --receive-mscomm DATEI\n"
         "                        (gilt für alle drei: gibt \"READY\" aus, sobald die\n"
         "                        Gegenseite die Leitung geöffnet hat; laufen nach --send\n"
         "                        und vor --then-send)\n"
         "                        empfängt eine Datei in Binärblöcken (Namensblock, Blöcke zu 128\n"
         "                        Byte, der letzte kürzer, Endeblock) und schreibt ihren Inhalt "
         "nach\n"
         "                        DATEI; gibt \"NAME <Name>\" und \"RECEIVED <Blöcke> <Bytes>\" "
         "aus\n"
         "  --receive-uph DATEI   empfängt eine HEX-Datei als Binärsätze (Namensblock mit 8 "
         "Zeichen,\n"
         "                        Sätze aus Adresse und Daten, Endeblock); schreibt den Namen und "
         "je\n"
         "                        Satz eine Zeile in Hex nach DATEI; gibt \"NAME <Name>\" und\n"
         "                        \"RECEIVED <Sätze>\" aus\n"
         "  --receive-dl DATEI    empfängt Textzeilen (CR LF, höchstens 99 Zeichen, 7 Bit), "
         "bestätigt\n"
         "                        jede mit ACK und schreibt sie unverändert nach DATEI, sobald "
         "die\n"
         "                        Gegenseite die Leitung schließt oder --final-timeout lang "
         "nichts\n"
         "                        kommt; gibt \"RECEIVED <Zeilen>\" aus. Nach --send: wartet\n"
         "                        bis --open-timeout auf die erste Zeile, auch über ein\n"
         "                        Schließen und Wiederöffnen der Leitung hinweg\n"
         "  --no-first-ack        mit --receive-dl: die erste Zeile bleibt unbestätigt\n"
         "  --silent-after N      mit --receive-mscomm/-uph/-dl: nach N angenommenen Blöcken bzw.\n"
         "                        Zeilen kommt keine Antwort mehr; gibt \"SILENT <N>\" aus, hält "
         "die\n"
         "                        Leitung, bis die Gegenseite sie schließt, und endet mit 1\n"
         "  --refuse-after N      wie --silent-after, aber jeder weitere Block bzw. jede weitere "
         "Zeile\n"
         "                        wird mit NAK abgelehnt; gibt \"REFUSING <N>\" aus\n"
         "  --stay                hält danach die Leitung bis SIGTERM/SIGINT\n"
         "\n"
         "Fehler (beim Senden und Empfangen):\n"
         "  --fault-rate P        Wahrscheinlichkeit eines Fehlers je Block (0..1); am Ende\n"
         "                        wird \"FAULTS <Anzahl>\" ausgegeben\n"
         "  --faults LISTE        Auswahl aus checksum,counter,drop,extra,silence (Vorgabe alle)\n"
         "  --seed N              Startwert des Zufallsgenerators (Vorgabe 1)\n"
         "\n"
         "Zeiten:\n"
         "  --ack-timeout MS      Wartezeit auf die Antwort je Block bzw. je Zeichen beim\n"
         "                        Empfang (Vorgabe 3000)\n"
         "  --final-timeout MS    Wartezeit auf das ACK des Endeblocks; danach wird die ganze\n"
         "                        Übertragung wiederholt (Vorgabe 10000)\n"
         "  --max-retries N       Wiederholungen je Block (Vorgabe 20)\n"
         "  --transfer-retries N  Wiederholungen der ganzen Übertragung (Vorgabe 5)\n"
         "  --stats               misst die Antwortzeit je gesendetem Block und gibt\n"
         "                        \"TURNAROUND median_us=<m> p90_us=<p> blocks=<n>\" aus\n"
         "\n"
         "Modem (nur mit \"modem\"): beantwortet AT-Befehle (Zeilenende CR LF) und gibt für\n"
         "jeden Befehl \"AT <Befehl>\" aus; klingelt, nimmt auf ATA den Anruf an und spielt dann\n"
         "den Anrufer: Passwort senden, Antwort des Empfängers lesen, danach die Aktionen.\n"
         "\"+++\" mit anschließender Pause (Schutzzeit) gibt \"ESCAPE\" aus; ATH bzw. ATH0 wird\n"
         "mit OK beantwortet und gibt \"HANGUP\" aus. Nach dem letzten Anruf endet das Programm.\n"
         "  --ok-answer TEXT      Antwort auf AT-Befehle (Vorgabe \"OK\")\n"
         "  --no-answer           beantwortet keinen Befehl (kein Modem an der Leitung)\n"
         "  --no-echo             sendet den empfangenen Befehl nicht zuerst zurück\n"
         "  --ring-after MS       sendet nach MS ohne Befehl den Klingeltext, wiederholt alle MS,\n"
         "                        bis der Anruf angenommen ist; gibt \"RING\" aus (Vorgabe 500)\n"
         "  --ring-text TEXT      Klingeltext (Vorgabe \"RING\")\n"
         "  --connect-answer TEXT Antwort auf ATA (Vorgabe \"CONNECT 9600\"); gibt \"CONNECTED\"\n"
         "                        aus\n"
         "  --fail-answer TEXT    lehnt den Anruf mit TEXT ab (etwa \"NO CARRIER\"); gibt\n"
         "                        \"REFUSED\" aus\n"
         "  --password TEXT       sendet nach der Verbindung TEXT und CR (auch \"geheim@ACKNAK\")\n"
         "                        und gibt \"PASSWORD OK\" bzw. \"PASSWORD REJECTED\" aus; nur\n"
         "                        nach \"KENNWORT OK\" folgen die Aktionen\n"
         "  --calls N             so viele Anrufe nacheinander (Vorgabe 1)\n"
         "  --guard-time MS       Pause nach \"+++\" bis zum Wechsel in den Befehlsmodus\n"
         "                        (Vorgabe 1000)\n"
         "\n"
         "Uploader (nur mit \"uploader\"): spielt das Gerät, in das Sollex eine Anwendung lädt.\n"
         "Beantwortet den Baudraten-Handshake \"*b<c>#\" mit ACK und gibt \"HANDSHAKE <Text>\"\n"
         "und \"RATE <Baud>\" aus (nach 1 s Ruhe wieder 19200); bestätigt jede HEX-Zeile (CR LF)\n"
         "mit ACK; nimmt Umschläge (STX SOH Daten ETX Prüfsumme CR) an: Uhrzeit (\"CLOCK "
         "<Ziffern>\"),\n"
         "Rahmen (\"FRAME <Nr> <Bytes>\", Antwort \"<ACK>\") und Ende (\"END\", danach endet das\n"
         "Programm); falsche Prüfsummen geben \"BAD CHECKSUM\" aus. Schließt die Gegenseite die\n"
         "Leitung, endet das Programm mit \"LINES <n>\" bzw. \"FRAMES <n>\".\n"
         "  --received DATEI      schreibt das Empfangene nach DATEI: HEX-Zeilen mit LF, Rahmen\n"
         "                        unverändert\n"
         "  --silent-handshake    beantwortet den Handshake nicht\n"
         "  --ack-limit N         bestätigt nur die ersten N Zeilen bzw. Rahmen\n"
         "  --ack-text TEXT       Antwort auf einen Rahmen (Vorgabe \"<ACK>\")\n"
         "  --ack-timeout MS      Wartezeit je Zeichen innerhalb eines Handshakes oder\n"
         "                        Umschlags (Vorgabe 3000)\n"
         "\n"
         "  --help                diese Hilfe\n"
         "\n"
         "Rückgabewert: 0 Erfolg, 1 eine Aktion ist fehlgeschlagen (auch: Passwort abgelehnt),\n"
         "2 falscher Aufruf.\n";
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
  bool baudGiven = false;
  bool printPathGiven = false;
  bool headerGiven = false;
  bool transfersGiven = false;
  bool holdAfterGiven = false;
  bool startNakGiven = false;
  bool clockDelayGiven = false;
  bool modemOptionGiven = false;
  bool uploaderOptionGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // Options with a value take the next argument.
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
      if (!ToInt(text, min, max, out)) {
        error = "Ungültiger Wert für " + arg + ": " + text;
        return false;
      }
      return true;
    };
    auto milliseconds = [&](int& out) {
      long v = 0;
      if (!number(0, 3600000, v)) return false;
      out = static_cast<int>(v);
      return true;
    };
    long v = 0;
    std::string text;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return true;
    } else if (arg == "terminal" && i == 1) {
      o.mode = Mode::kTerminal;  // the default
    } else if (arg == "modem" && i == 1) {
      o.mode = Mode::kModem;
    } else if (arg == "uploader" && i == 1) {
      o.mode = Mode::kUploader;
    } else if (arg == "--received") {
      if (!value(o.receivedFile)) return false;
      uploaderOptionGiven = true;
    } else if (arg == "--silent-handshake") {
      o.silentHandshake = true;
      uploaderOptionGiven = true;
    } else if (arg == "--ack-limit") {
      if (!number(0, 1000000000L, o.ackLimit)) return false;
      uploaderOptionGiven = true;
    } else if (arg == "--ack-text") {
      if (!value(o.ackText)) return false;
      if (o.ackText.empty()) {
        error = "--ack-text braucht einen Text";
        return false;
      }
      uploaderOptionGiven = true;
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
    } else if (arg == "--open-timeout") {
      if (!milliseconds(o.openTimeoutMs)) return false;
    } else if (arg == "--answer-polls") {
      if (!value(text)) return false;
      o.pollAddresses = SplitCommas(text);
      for (const std::string& a : o.pollAddresses) {
        if (!IsAddress(a)) {
          error = "Ungültige Pollingadresse: \"" + a + "\" (nur Ziffern)";
          return false;
        }
      }
    } else if (arg == "--send") {
      if (!value(o.sendFile)) return false;
    } else if (arg == "--header") {
      if (!value(text)) return false;
      o.header = text;
      headerGiven = true;
    } else if (arg == "--transfers") {
      if (!number(1, 1000000, v)) return false;
      o.transfers = static_cast<int>(v);
      transfersGiven = true;
    } else if (arg == "--hold-after") {
      if (!number(1, 1000000, v)) return false;
      o.holdAfter = static_cast<int>(v);
      holdAfterGiven = true;
    } else if (arg == "--clock") {
      o.clock = true;
    } else if (arg == "--clock-delay") {
      if (!milliseconds(o.clockDelayMs)) return false;
      clockDelayGiven = true;
    } else if (arg == "--receive") {
      if (!value(text)) return false;
      o.receiveFiles.push_back(text);
    } else if (arg == "--then-send") {
      if (!value(o.thenSendFile)) return false;
    } else if (arg == "--receive-mscomm" || arg == "--receive-uph" || arg == "--receive-dl") {
      if (o.sendMode != SendMode::kNone) {
        error = "Nur eine der Optionen --receive-mscomm, --receive-uph, --receive-dl";
        return false;
      }
      if (!value(o.modeFile)) return false;
      o.sendMode = arg == "--receive-mscomm" ? SendMode::kMsComm
                   : arg == "--receive-uph"  ? SendMode::kUph
                                             : SendMode::kDl;
    } else if (arg == "--no-first-ack") {
      o.noFirstAck = true;
    } else if (arg == "--silent-after") {
      if (!number(1, 1000000, v)) return false;
      o.silentAfter = static_cast<int>(v);
    } else if (arg == "--refuse-after") {
      if (!number(1, 1000000, v)) return false;
      o.refuseAfter = static_cast<int>(v);
    } else if (arg == "--start-nak") {
      o.startNak = true;
      startNakGiven = true;
    } else if (arg == "--stay") {
      o.stay = true;
    } else if (arg == "--fault-rate") {
      if (!value(text)) return false;
      char* end = nullptr;
      o.faultRate = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(o.faultRate >= 0.0 && o.faultRate <= 1.0)) {
        error = "Ungültige Fehlerrate: " + text + " (erlaubt 0 bis 1)";
        return false;
      }
      o.faultsWanted = true;
    } else if (arg == "--faults") {
      if (!value(text)) return false;
      o.faultKinds.clear();
      for (const std::string& name : SplitCommas(text)) {
        FaultKind kind;
        if (!FaultKindFromName(name, kind)) {
          error = "Unbekannte Fehlerart: \"" + name +
                  "\" (erlaubt checksum, counter, drop, extra, silence)";
          return false;
        }
        o.faultKinds.push_back(kind);
      }
    } else if (arg == "--seed") {
      if (!number(0, 4294967295L, v)) return false;
      o.seed = static_cast<std::uint32_t>(v);
    } else if (arg == "--ack-timeout") {
      if (!milliseconds(o.ackTimeoutMs)) return false;
    } else if (arg == "--final-timeout") {
      if (!milliseconds(o.finalTimeoutMs)) return false;
    } else if (arg == "--max-retries") {
      if (!number(0, 1000000, v)) return false;
      o.maxRetries = static_cast<int>(v);
    } else if (arg == "--transfer-retries") {
      if (!number(0, 1000000, v)) return false;
      o.transferRetries = static_cast<int>(v);
    } else if (arg == "--stats") {
      o.stats = true;
    } else if (arg == "--ok-answer") {
      if (!value(o.okAnswer)) return false;
      modemOptionGiven = true;
    } else if (arg == "--no-answer") {
      o.noAnswer = true;
      modemOptionGiven = true;
    } else if (arg == "--no-echo") {
      o.echo = false;
      modemOptionGiven = true;
    } else if (arg == "--ring-after") {
      if (!number(1, 3600000, v)) return false;
      o.ringAfterMs = static_cast<int>(v);
      modemOptionGiven = true;
    } else if (arg == "--ring-text") {
      if (!value(o.ringText)) return false;
      modemOptionGiven = true;
    } else if (arg == "--connect-answer") {
      if (!value(o.connectAnswer)) return false;
      modemOptionGiven = true;
    } else if (arg == "--fail-answer") {
      if (!value(text)) return false;
      o.failAnswer = text;
      modemOptionGiven = true;
    } else if (arg == "--password") {
      if (!value(text)) return false;
      o.password = text;
      modemOptionGiven = true;
    } else if (arg == "--calls") {
      if (!number(1, 1000000, v)) return false;
      o.calls = static_cast<int>(v);
      modemOptionGiven = true;
    } else if (arg == "--guard-time") {
      if (!milliseconds(o.guardTimeMs)) return false;
      modemOptionGiven = true;
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
  if (baudGiven && o.device.empty()) {
    error = "--baud gilt nur mit --device";
    return false;
  }
  if ((headerGiven || transfersGiven || holdAfterGiven) && o.sendFile.empty()) {
    error = "--header, --transfers und --hold-after gelten nur mit --send";
    return false;
  }
  if (o.header && o.header->size() > 255) {
    error = "Der Kopftext ist länger als 255 Zeichen";
    return false;
  }
  if (clockDelayGiven && !o.clock) {
    error = "--clock-delay gilt nur mit --clock";
    return false;
  }
  if (startNakGiven && o.receiveFiles.empty()) {
    error = "--start-nak gilt nur mit --receive";
    return false;
  }
  if (o.sendMode != SendMode::kNone && (!o.receiveFiles.empty() || startNakGiven)) {
    error = "--receive-mscomm/-uph/-dl schließen --receive und --start-nak aus";
    return false;
  }
  if (o.noFirstAck && o.sendMode != SendMode::kDl) {
    error = "--no-first-ack gilt nur mit --receive-dl";
    return false;
  }
  if ((o.silentAfter > 0 || o.refuseAfter > 0) && o.sendMode == SendMode::kNone) {
    error = "--silent-after und --refuse-after gelten nur mit --receive-mscomm/-uph/-dl";
    return false;
  }
  if (modemOptionGiven && o.mode != Mode::kModem) {
    error = "Die Modem-Optionen gelten nur mit \"quillon-sim modem\"";
    return false;
  }
  if (uploaderOptionGiven && o.mode != Mode::kUploader) {
    error = "Die Uploader-Optionen gelten nur mit \"quillon-sim uploader\"";
    return false;
  }
  if (o.mode == Mode::kUploader && o.HasActions()) {
    error = "Im Uploader-Modus gibt es keine Aktionen";
    return false;
  }
  if (o.mode == Mode::kModem && o.noAnswer && o.failAnswer) {
    error = "--no-answer und --fail-answer schließen sich aus";
    return false;
  }
  if (o.mode == Mode::kModem && o.password &&
      o.password->find_first_of("\r\n") != std::string::npos) {
    error = "Das Passwort darf kein CR und kein LF enthalten";
    return false;
  }
  return true;
}

}  // namespace sim
