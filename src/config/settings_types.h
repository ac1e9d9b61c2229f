#pragma once
// The in-memory settings: one TQuillonOpt per port, the program-wide TGlobalApp and the file
// locations TAppInfo.
//
// Ownership: the shell owns one AppContext for the whole process. Slots 1..8 of PortSettings
// are the live settings of COM1..COM8, written only on the main thread while no receive thread
// uses the port and read by that port's receive thread; slot 0 is the setup dialog's edit copy.
#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace quillon {

inline constexpr int kPortCount = 8;

// A calendar date as stored in the settings ("dd.mm.yyyy"); all zero means "no date".
struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
  bool IsNull() const { return year == 0 && month == 0 && day == 0; }
  bool operator==(const CivilDate&) const = default;
};

struct TQuillonOpt {
  std::string PortName;  // "COM" + n + ":"
  int Baudrate = 0;
  int DataBits = 0;
  int Parity = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int StopBits = 0;
  int CharDelay = 0;
  int AckNakRxTimeout = 0;
  int AckNakTxTimeout = 0;
  bool Enabled = false;
  std::string FileName;
  int FileMode = 0;  // 0 overwrite, 1 append, 2 sequential number
  int SeqDigits = 0;
  bool WithHeader = false;
  bool WithTypeChar = false;
  int Protocol = 0;  // 0 block protocol, 1 radio network, 2 X-, 3 Y-, 4 Z-Modem
  bool ClockSync = false;
  int ClockSyncTimeout = 0;
  int SaveFormat = 0;  // 0 CR/LF, 1 none, 2 CR, 3 LF
  int FirstSeqNo = 0;
  int CallMode = 0;  // 0 no program, 1 start, 2 start and wait
  std::string ProgramCall;
  int LogLevel = 0;  // 0 none .. 3 all details
  bool TxFileHeader = false;
  bool PollEnabled = false;
  int PollAddrLen = 0;
  int PollInterval = 0;
  std::vector<std::string> PollAddresses;  // kept sorted
  std::string CurrentPollAddr;
  bool ModemEnabled = false;
  std::vector<std::string> ModemPasswords;
  bool UseModemPasswords = false;
  std::string ModemInit;
  std::string ModemRing;
  std::string ModemAnswer;
  std::string ModemConnect;
  std::string ModemHangup;
  std::string ModemOk;
  int ModemPollTime = 0;
  std::string ModemPasswordFile;
  bool UseModemPasswordFile = false;
  std::string StartSendFile;  // from "tx:" on the command line, not stored
  int StartSendMode = 0;      // 1 = block protocol; 0 without a start file
  bool NetActive = false;
  int NetKind = 0;  // 1 TCP/IP, 2 FTP
  std::string TcpAddress;
  int TcpPort = 0;
  std::string FtpHost;
  std::string FtpUser;
  std::string FtpPassword;
  std::string FtpMode;  // "A" ASCII, anything else binary
  int FtpTimeout = 0;
  std::string FtpDir;
  std::string ExtLogFile;  // current external logbook file, not stored
};

using PortSettingsArray = std::array<TQuillonOpt, kPortCount + 1>;

struct TAppInfo {
  std::string ProgramDir;        // ends in '/'; temporary receive files, logbooks, local store
  std::string IniPath;           // full path of the settings file
  std::string ExePath;           // the running program file
  std::string ExeDir;            // its directory as found (ends in '/'), or the fallback directory
  std::string BaseName;          // program file name without extension
  bool UsedFallbackDir = false;  // program directory not writable: ~/.local/share/quillon/
};

struct TGlobalApp {
  std::atomic<bool> Receiving{false};
  bool StartFailed = false;
  bool Autostart = false;
  bool TestPorts = true;
  std::array<bool, kPortCount + 1> PortPresent{};  // index 1..8
  // Cleared by a receive thread whose line the transfer library cannot open, read by the window.
  std::array<std::atomic<bool>, kPortCount + 1> PortActive{};
  std::array<std::string, kPortCount + 1> PortLogFile{};
  int ExtLogIndex = -1;
  int ExtLogDays = 0;
  std::string ExtLogDir;
  CivilDate ExtLogDate;
  int LogPrinter = 0;  // 0 none, 1..3 = /dev/lp0../dev/lp2
  bool ModemSendReady = false;
  std::string Language = "Deutsch";
  std::mutex ListLock;     // data lines and logbook lists
  std::mutex PrinterLock;  // the log printer
};

// Everything the shell owns for the process lifetime.
struct AppContext {
  TAppInfo AppInfo;
  TGlobalApp GlobalApp;
  PortSettingsArray PortSettings;
};

}  // namespace quillon
