#pragma once
// The texts of the setup dialog and the setup password dialogs.
namespace quillon::txt {

// Setup password.
inline constexpr const char* kPasswordCaption = "Paßwort";
inline constexpr const char* kPasswordEnter = "Bitte Paßwort eingeben:";
inline constexpr const char* kPasswordWrong = "Falsches Paßwort!";
inline constexpr const char* kPasswordAskOld = "Bitte altes Paßwort eingeben !";
inline constexpr const char* kPasswordAskFirst = "Bitte Paßwort eingeben !";
inline constexpr const char* kPasswordAskNew = "Bitte neues Paßwort eingeben !";
inline constexpr const char* kPasswordRepeatNew = "Bitte neues Paßwort nochmal eingeben !";
inline constexpr const char* kPasswordRepeat = "Bitte Paßwort nochmal eingeben !";
inline constexpr const char* kPasswordOldInvalid = "Ungültige Paßworteingabe !";
inline constexpr const char* kPasswordsDiffer =
    "Die beiden eingegebenen Paßwörter stimmen nicht überein !";
inline constexpr const char* kButtonOk = "OK";
inline constexpr const char* kButtonCancel = "Abbrechen";

// The dialog and its port selection.
inline constexpr const char* kSetupCaption = "Quillon - Setup";
inline constexpr const char* kSetupPortCaption = "Quillon - Setup com%d:";
inline constexpr const char* kSelectionGroup = " Konfiguration ";
inline constexpr const char* kPortCheckBox = "com&%d:";
inline constexpr const char* kPortSettingsButton = "Einstellungen";
inline constexpr const char* kNewPasswordButton = "Neues &Passwort";
inline constexpr const char* kSetupOk = "&Ok";
inline constexpr const char* kSetupCancel = "&Abbrechen";
inline constexpr const char* kSetupApply = "&Übernehmen";
inline constexpr const char* kLoadSameConfig = "Die gleiche Konfiguration laden ?";
inline constexpr const char* kSaveParameters = "Parameter abspeichern ?";
inline constexpr const char* kNoPortActivated =
    "Es wurde keine Schnittstelle aktiviert !\rEinstellungen trotzdem beenden ?";

// Page titles, in order.
inline constexpr const char* kPageInterface = "Anschluß";
inline constexpr const char* kPageData = "Daten";
inline constexpr const char* kPageFiles = "Dateien";
inline constexpr const char* kPageProcessing = "Verarbeitung";
inline constexpr const char* kPagePolling = "Polling";
inline constexpr const char* kPageModem = "Modem";
inline constexpr const char* kPageNet = "TCP/IP";
inline constexpr const char* kPageOptions = "Optionen";
inline constexpr const char* kPageAckNak = "AckNak-Parameter";

// Common items.
inline constexpr const char* kInactive = "inaktiv";
inline constexpr const char* kActive = "aktiv";
inline constexpr const char* kWith = "mit";
inline constexpr const char* kWithout = "ohne";

// Page "Anschluß".
inline constexpr const char* kPresetGroup = " Standardparameter laden für Gerät ";
inline constexpr const char* kPresetItem = "Gerätefamilie %d";
inline constexpr const char* kPresetChoose = "Gerätefamilie wählen ...";
inline constexpr const char* kLineGroup = " Schnittstellenparameter ";
inline constexpr const char* kBaudLabel = "Baudrate:";
inline constexpr const char* kDataBitsLabel = "Datenbits:";
inline constexpr const char* kParityLabel = "Parität:";
inline constexpr const char* kStopBitsLabel = "Stopbits:";
inline constexpr const char* kCharDelayLabel = "Zeichenverzögerung:";
inline constexpr const char* kParityItems[] = {"keine", "ungerade", "gerade", "markiert", "leer"};
inline constexpr const char* kCharDelayItems[] = {"aus", "kurz", "mittel", "lang"};

// Page "Daten".
inline constexpr const char* kProtocolLabel = "Protokoll:";
inline constexpr const char* kProtocolItems[] = {"Nexa Ack-/Nak", "Verano Quorbus", "X-Modem",
                                                 "Y-Modem", "Z-Modem"};
inline constexpr const char* kRadioNetworkButton = "Funknetz konfigurieren";
inline constexpr const char* kStoreGroup = " Speichern ";
inline constexpr const char* kHeaderLabel = "Header:";
inline constexpr const char* kTypeCharLabel = "Typzeichen:";
inline constexpr const char* kClockGroup = " MDE-Uhr ";
inline constexpr const char* kClockSyncLabel = "Synchronisation:";
inline constexpr const char* kClockTimeoutLabel = "Timeout (ms):";

// Page "Dateien".
inline constexpr const char* kFileNameLabel = "Dateiname:";
inline constexpr const char* kPlaceholderButton = "%";
inline constexpr const char* kPlaceholderButtonTip = "Platzhalter einfügen";
inline constexpr const char* kBrowseButton = "...";
inline constexpr const char* kBrowseButtonTip = "Datei auswählen";
inline constexpr const char* kFileModeLabel = "Dateimodus:";
inline constexpr const char* kFileModeItems[] = {"überschreiben", "anhängen", "fortlaufend"};
inline constexpr const char* kSeqDigitsLabel = "Stellenanzahl:";
inline constexpr const char* kFirstSeqNoLabel = "Erste fortlfd. Nr.:";
inline constexpr const char* kCompleteNameGroup = " Kompletter Dateiname ";
inline constexpr const char* kPlaceholderMenu[][2] = {
    {"Fortlaufende Nr.", "%lfd"}, {"Tag", "%t"},    {"Monat", "%m"},  {"Jahr", "%j"},
    {"Jahrhundert", "%jhd"},      {"Stunde", "%H"}, {"Minute", "%M"}, {"Sekunde", "%S"},
    {"Kalenderwoche", "%kw"}};
inline constexpr const char* kFileNameDialogTitle = "Dateinamen eingeben ...";
inline constexpr const char* kFileNameDialogFilter =
    "Datendateien (*.dat);;Textdateien (*.txt);;Alle Dateien (*)";
inline constexpr const char* kDefaultDataFile = "rxdat";
inline constexpr const char* kOneFileOnly = "Bitte nur eine Datei in das Eingabefeld ziehen!";

// Page "Verarbeitung".
inline constexpr const char* kCallModeLabel = "Externes Programm:";
inline constexpr const char* kCallModeItems[] = {"nicht starten", "starten",
                                                 "starten und auf Ende warten"};
inline constexpr const char* kProgramCallLabel = "Aufruf:";
inline constexpr const char* kProgramDialogTitle = "Verarbeitung mit ...";
inline constexpr const char* kProgramDialogFilter =
    "Programme (*.exe *.com);;Batchdateien (*.bat);;Alle Dateien (*)";
inline constexpr const char* kAllFilesFilter = "Alle Dateien (*)";
inline constexpr const char* kProgramCallFile = "%datei";
inline constexpr const char* kProgramCallPort = "%com";
inline constexpr const char* kProgramCallArguments = " %datei %com";

// Page "Polling".
inline constexpr const char* kPollStatusLabel = "Polling:";
inline constexpr const char* kPollAddrLenLabel = "Adresslänge:";
inline constexpr const char* kPollAddrLenItems[] = {"5-stellig", "6-stellig"};
inline constexpr const char* kPollIntervalLabel = "Pollingtakt (ms):";
inline constexpr const char* kPollListGroup = " MDE-Geräteadressen ";
inline constexpr const char* kPollNewAddressLabel = "Neue Adresse:";
inline constexpr const char* kPollInsertButton = "&Einfügen";
inline constexpr const char* kPollDeleteButton = "&Löschen";
inline constexpr const char* kPollTestGroup = " Polltest ";
inline constexpr const char* kPollTestButton = "Testen!";
inline constexpr const char* kPollAddressTaken = "Pollingadresse schon vergeben !";
inline constexpr const char* kPollNothingToDelete =
    "Es sind keine Pollingadressen zum Löschen vorhanden !";

// Page "Modem".
inline constexpr const char* kModemGroup = " Modem ";
inline constexpr const char* kModemOn = "aktivieren";
inline constexpr const char* kModemOff = "nicht aktivieren";
inline constexpr const char* kModemPasswordsCheck = "Sendepasswörter:";
inline constexpr const char* kModemPasswordFileCheck = "Passwortdatei:";
inline constexpr const char* kModemStringsGroup = " Modembefehle und -meldungen ";
inline constexpr const char* kModemInitLabel = "Initialisierung:";
inline constexpr const char* kModemRingLabel = "Klingeln:";
inline constexpr const char* kModemConnectLabel = "Verbindung:";
inline constexpr const char* kModemAnswerLabel = "Anruf annehmen:";
inline constexpr const char* kModemHangupLabel = "Auflegen:";
inline constexpr const char* kModemOkLabel = "OK-Meldung:";
inline constexpr const char* kModemPollTimeLabel = "Statuspollzeit:";
inline constexpr const char* kModemPasswordDialogTitle = "Passwort-Datei ...";
inline constexpr const char* kModemPasswordDialogFilter =
    "Ascii-Dateien (*.txt);;Daten-Dateien (*.dat);;Alle Dateien (*)";
inline constexpr const char* kInputRequired = "In diesem Feld wird eine Eingabe benötigt !";

// Page "TCP/IP".
inline constexpr const char* kTcpGroup = " TCP/IP-Sockets ";
inline constexpr const char* kFtpGroup = " FTP ";
inline constexpr const char* kStatusLabel = "Status:";
inline constexpr const char* kTcpAddressLabel = "Adresse:";
inline constexpr const char* kTcpPortLabel = "Port:";
inline constexpr const char* kFtpHostLabel = "Host:";
inline constexpr const char* kFtpUserLabel = "User ID:";
inline constexpr const char* kFtpPasswordLabel = "Passwort:";
inline constexpr const char* kFtpModeLabel = "Modus:";
inline constexpr const char* kFtpModeItems[] = {"Ascii", "Binär"};
inline constexpr const char* kFtpTimeoutLabel = "Timeout";
inline constexpr const char* kFtpDirLabel = "Verzeichnis:";
inline constexpr const char* kFtpTestButton = "Testverbindung aufbauen...";
inline constexpr const char* kNotAnInteger = "'%s' ist kein gültiger Integerwert";
inline constexpr const char* kOverwriteWithForwarding =
    "Im Dateimodus \"überschreiben\" ist nicht sichergestellt, dass jede Datendatei vor dem "
    "Überschreiben mit TCP/IP oder FTP gesendet wird!\rAktivieren Sie deshalb den Dateimodus "
    "\"fortlaufend!\"";
inline constexpr const char* kAppendWithForwarding =
    "Im Dateimodus \"anhängen\" können die Daten bei einer Übertragung mit TCP/IP oder FTP nicht "
    "an eine bestehende Hostdatei angehängt werden!\rAktivieren Sie deshalb den Dateimodus "
    "\"fortlaufend!\"";

// Page "Optionen".
inline constexpr const char* kTxHeaderLabel = "Sendeheader:";
inline constexpr const char* kTxHeaderItems[] = {"Standard", "mit Datei-Informationen"};
inline constexpr const char* kSaveFormatLabel = "Datensätze:";
inline constexpr const char* kSaveFormatItems[] = {"mit CR/LF", "ohne CR/LF", "mit CR", "mit LF"};
inline constexpr const char* kLogLevelLabel = "Logbuch:";
inline constexpr const char* kLogLevelItems[] = {"ohne", "kurz", "ausführlich", "alle Details"};
inline constexpr const char* kProgramStartGroup = " Programmoptionen (alle Schnittstellen) ";
inline constexpr const char* kProgramStartLabel = "Programmstart:";
inline constexpr const char* kProgramStartItems[] = {"Manueller Empfang", "Automatischer Empfang"};
inline constexpr const char* kExtLogDirLabel = "Externes Logbuch:";
inline constexpr const char* kExtLogDaysLabel = "Anzahl Tage:";
inline constexpr const char* kLogPrinterLabel = "Protokolldrucker:";
inline constexpr const char* kLogPrinterItems[] = {"", "LPT1:", "LPT2:", "LPT3:"};

// Page "AckNak-Parameter".
inline constexpr const char* kAckNakRxLabel = "Empfangstimeout (ms):";
inline constexpr const char* kAckNakTxLabel = "Sendetimeout (ms):";

}  // namespace quillon::txt
