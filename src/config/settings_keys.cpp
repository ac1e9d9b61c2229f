#include "config/settings_keys.h"

#include <iterator>

#include "common/format.h"
#include "common/ini_file.h"
#include "config/value_list.h"

namespace quillon {
namespace {

// By SettingsSection; the per-port ones are patterns for the port number.
constexpr const char* kSectionNames[] = {"Schnittstellenparameter für COM%d:",
                                         "Datenparameter für COM%d:",
                                         "Dateienparameter für COM%d:",
                                         "Verarbeitung für COM%d:",
                                         "Pollingparameter für COM%d:",
                                         "Modemparameter für COM%d:",
                                         "TCP/IP-Parameter für COM%d:",
                                         "Optionen für COM%d:",
                                         "AckNak-Einstellungen für COM%d:",
                                         "Allgemeine Programmoptionen",
                                         "Einstellungen",
                                         "History"};
static_assert(std::size(kSectionNames) == static_cast<size_t>(SettingsSection::History) + 1);

// ---- "|" lists of the TCP/IP section ---------------------------------------------------------

// "Status": NetActive|NetKind. Unreadable numbers (or an unknown kind) switch forwarding off.
void DecodeStatus(TQuillonOpt& opt, const std::string& text) {
  const auto active = ParseInt(ListValue(text, 1));
  const auto kind = ParseInt(ListValue(text, 2));
  if (!active || !kind || *kind < 0 || *kind > 2) {
    opt.NetActive = false;
    opt.NetKind = 0;
    return;
  }
  opt.NetActive = *active != 0;
  opt.NetKind = *kind;
}

std::string EncodeStatus(const TQuillonOpt& opt) {
  return JoinList({opt.NetActive ? "1" : "0", std::to_string(opt.NetKind)});
}

// "TCP/IP-Sockets": TcpAddress|TcpPort; an unreadable port is 0.
void DecodeTcp(TQuillonOpt& opt, const std::string& text) {
  opt.TcpAddress = ListValue(text, 1);
  opt.TcpPort = ParseInt(ListValue(text, 2)).value_or(0);
}

std::string EncodeTcp(const TQuillonOpt& opt) {
  return JoinList({opt.TcpAddress, std::to_string(opt.TcpPort)});
}

// "FTP": host|user|password|mode|timeout|directory; an unreadable time-out is 0.
void DecodeFtp(TQuillonOpt& opt, const std::string& text) {
  opt.FtpHost = ListValue(text, 1);
  opt.FtpUser = ListValue(text, 2);
  opt.FtpPassword = ListValue(text, 3);
  opt.FtpMode = ListValue(text, 4);
  opt.FtpTimeout = ParseInt(ListValue(text, 5)).value_or(0);
  opt.FtpDir = ListValue(text, 6);
}

std::string EncodeFtp(const TQuillonOpt& opt) {
  return JoinList({opt.FtpHost, opt.FtpUser, opt.FtpPassword, opt.FtpMode,
                   std::to_string(opt.FtpTimeout), opt.FtpDir});
}

// ---- domains of the numbers ------------------------------------------------------------------

bool IsBaudrate(int v) {
  for (const int rate : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    if (v == rate) return true;
  }
  return false;
}
bool IsDataBits(int v) { return v == 7 || v == 8; }
bool IsParity(int v) { return v >= 0 && v <= 4; }
bool IsStopBits(int v) { return v == 1 || v == 2; }
bool IsCharDelay(int v) { return v == 0 || v == 2 || v == 5 || v == 10; }
bool IsFileMode(int v) { return v >= 0 && v <= 2; }
bool IsSeqDigits(int v) { return v >= 1 && v <= 9; }
bool IsProtocol(int v) { return v >= 0 && v <= 4; }
bool IsSaveFormat(int v) { return v >= 0 && v <= 3; }
bool IsCallMode(int v) { return v >= 0 && v <= 2; }
bool IsLogLevel(int v) { return v >= 0 && v <= 3; }
bool IsPollAddrLen(int v) { return v == 5 || v == 6; }
bool IsPollInterval(int v) { return v >= 100 && v <= 5000; }
bool IsModemPollTime(int v) { return v >= 1 && v <= 360; }
bool IsLogPrinter(int v) { return v >= 0 && v <= 3; }
bool IsNotNegative(int v) { return v >= 0; }

using St = SettingsStep;
using Sec = SettingsSection;
using O = TQuillonOpt;
using G = TGlobalApp;
constexpr KeyRule kReported = KeyRule::Reported;
constexpr KeyRule kQuestion = KeyRule::ReportedQuestionMark;
constexpr KeyRule kSilent = KeyRule::Silent;

// clang-format off
const KeyDef kKeys[] = {
    // step            section         key                                       rule       field                    number  text  domain
    {St::Interface,  Sec::Interface, "Baudrate",                                kReported, &O::Baudrate,            9600,   "",   IsBaudrate},
    {St::Interface,  Sec::Interface, "Datenbits",                               kReported, &O::DataBits,            8,      "",   IsDataBits},
    {St::Interface,  Sec::Interface, "Parität",                                 kReported, &O::Parity,              0,      "",   IsParity},
    {St::Interface,  Sec::Interface, "Stopbits",                                kReported, &O::StopBits,            1,      "",   IsStopBits},
    {St::Interface,  Sec::Interface, "Zeichenverzögerung",                      kReported, &O::CharDelay,           0,      "",   IsCharDelay},
    {St::Interface,  Sec::Interface, "Aktiviert",                               kReported, &O::Enabled,             0},

    {St::Data,       Sec::Data,      "Protokoll",                               kReported, &O::Protocol,            0,      "",   IsProtocol},
    {St::Data,       Sec::Data,      "Header",                                  kReported, &O::WithHeader,          1},
    {St::Data,       Sec::Data,      "Typzeichen",                              kReported, &O::WithTypeChar,        1},
    {St::Data,       Sec::Data,      "MDE-Uhr-Synchronisation",                 kReported, &O::ClockSync,           0},
    {St::Data,       Sec::Data,      "MDE-Uhr-Sync-Timeout",                    kReported, &O::ClockSyncTimeout,    2000,   "",   IsNotNegative},

    {St::Files,      Sec::Files,     "Dateiname",                               kReported, &O::FileName,            0,      "Daten.dat", nullptr, true},
    {St::Files,      Sec::Files,     "Dateimodus",                              kReported, &O::FileMode,            0,      "",   IsFileMode},
    {St::Files,      Sec::Files,     "Erste fortlfd. Nr.",                      kSilent,   &O::FirstSeqNo,          0,      "",   IsNotNegative},
    {St::Files,      Sec::Files,     "Stellenanzahl fortlfd. Nr.",              kReported, &O::SeqDigits,           1,      "",   IsSeqDigits},

    {St::Processing, Sec::Processing, "Programm",                               kQuestion, &O::ProgramCall,         0,      ""},
    {St::Processing, Sec::Processing, "Aufrufmodus",                            kReported, &O::CallMode,            0,      "",   IsCallMode},

    {St::Polling,    Sec::Polling,   "Polling",                                 kReported, &O::PollEnabled,         0},
    {St::Polling,    Sec::Polling,   "Pollingtakt",                             kReported, &O::PollInterval,        500,    "",   IsPollInterval},
    {St::Polling,    Sec::Polling,   "Länge Pollingadresse",                    kReported, &O::PollAddrLen,         6,      "",   IsPollAddrLen},

    {St::Modem,      Sec::Modem,     "Modem",                                   kReported, &O::ModemEnabled,        0},
    {St::Modem,      Sec::Modem,     "Initialisierung",                         kQuestion, &O::ModemInit,           0,      "ATZ^MATLQ0S0=0S12=255S21=32^M"},
    {St::Modem,      Sec::Modem,     "Klingeln",                                kQuestion, &O::ModemRing,           0,      "RING"},
    {St::Modem,      Sec::Modem,     "Anruf entgegennehmen",                    kQuestion, &O::ModemAnswer,         0,      "ATA^M"},
    {St::Modem,      Sec::Modem,     "Verbindung",                              kQuestion, &O::ModemConnect,        0,      "CONNECT"},
    {St::Modem,      Sec::Modem,     "Auflegen",                                kQuestion, &O::ModemHangup,         0,      "+++~~~ATH0^M"},
    {St::Modem,      Sec::Modem,     "OK",                                      kQuestion, &O::ModemOk,             0,      "OK"},
    {St::Modem,      Sec::Modem,     "Modemstatus-Pollzeit",                    kReported, &O::ModemPollTime,       2,      "",   IsModemPollTime},
    {St::Modem,      Sec::Modem,     "Externe Paßwortdatei benutzen",           kSilent,   &O::UseModemPasswordFile, 0},
    {St::Modem,      Sec::Modem,     "Externe Paßwortdatei",                    kSilent,   &O::ModemPasswordFile,   0,      ""},
    {St::Modem,      Sec::Modem,     "Interne Paßwortliste benutzen",           kSilent,   &O::UseModemPasswords,   0},

    {St::Net,        Sec::Net,       "Status",                                  kSilent,   ListCodec{DecodeStatus, EncodeStatus}, 0, "0|0"},
    {St::Net,        Sec::Net,       "TCP/IP-Sockets",                          kReported, ListCodec{DecodeTcp, EncodeTcp},       0, "|0"},
    {St::Net,        Sec::Net,       "FTP",                                     kReported, ListCodec{DecodeFtp, EncodeFtp},       0, "||||10000|"},

    {St::Options,    Sec::Options,   "Protokolldatei",                          kReported, &O::LogLevel,            1,      "",   IsLogLevel},
    {St::Options,    Sec::Options,   "Datensätze mit CR/LF",                    kReported, &O::SaveFormat,          0,      "",   IsSaveFormat},
    {St::Options,    Sec::Options,   "Sendeheader mit Datei-Informationen",     kReported, &O::TxFileHeader,        1},
    {St::Options,    Sec::General,   "Autostart",                               kReported, &G::Autostart,           0},
    {St::Options,    Sec::Settings,  "Verzeichnis für externe Protokolldatei",  kSilent,   &G::ExtLogDir,           0,      ""},
    {St::Options,    Sec::Settings,  "Anzahl externer Protokolldateien",        kSilent,   &G::ExtLogDays,          0,      "",   IsNotNegative},
    {St::Options,    Sec::Settings,  "Protokolldrucker",                        kSilent,   &G::LogPrinter,          0,      "",   IsLogPrinter},
    {St::Options,    Sec::General,   "Velmar",                                  kSilent,   &G::ModemSendReady,      0,      "",   nullptr, false, true},

    {St::AckNak,     Sec::AckNak,    "Empfangstimeout",                         kReported, &O::AckNakRxTimeout,     1000,   "",   IsNotNegative},
    {St::AckNak,     Sec::AckNak,    "Sendetimeout",                            kReported, &O::AckNakTxTimeout,     30000,  "",   IsNotNegative},
};
// clang-format on

}  // namespace

std::string SectionName(SettingsSection section, int n) {
  const char* name = kSectionNames[static_cast<int>(section)];
  return section < SettingsSection::General ? Format(name, n) : std::string(name);
}

std::span<const KeyDef> SettingsKeys() { return kKeys; }

}  // namespace quillon
