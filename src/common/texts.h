#pragma once
// Every text the user sees, in one table. Texts with "%s" or "%d" are filled with Format() from
// common/format.h; "\r" is a line break in a message box.
namespace quillon::txt {

// Message box captions.
inline constexpr const char* kCaptionError = "Fehler";
inline constexpr const char* kCaptionWarning = "Warnung";
inline constexpr const char* kCaptionInformation = "Information";
inline constexpr const char* kCaptionQuestion = "Bestätigung";

// Program.
inline constexpr const char* kProgramName = "Quillon";
inline constexpr const char* kLogStarting = "------- Quillon wird gestartet -------";
inline constexpr const char* kLogEnding = "------- Quillon wird beendet -------";
inline constexpr const char* kNoPortActive =
    "Bitte konfigurieren bzw. aktivieren Sie zuerst eine serielle Schnittstelle !";
inline constexpr const char* kEndingNoPortActive =
    "Das Programm wird beendet, da keine serielle Schnittstelle\rkonfiguriert bzw. aktiviert "
    "wurde!";
inline constexpr const char* kProgramDirFallback =
    "Das Verzeichnis von %s ist nicht beschreibbar; Einstellungen und Protokolle liegen in %s";

// Command line.
inline constexpr const char* kParamFileNotFound =
    "Fehler in Parameterzeile %s\rDatei %s nicht gefunden !";
inline constexpr const char* kParamFaulty = "Fehler in Parameterzeile %s\rParameter %s %s";
inline constexpr const char* kIsFaulty = "ist fehlerhaft !";

// Protocol names used in messages, by protocol number.
inline constexpr const char* kProtocolNames[] = {"Nexa ACK-/NAK", "QUORBUS", "XMODEM", "YMODEM",
                                                 "ZMODEM"};

// Settings file.
inline constexpr const char* kSettingsRepaired =
    "Es wurden automatisch einige Programmeinstellungen vorgenommen.\rÜberprüfen Sie daher "
    "zuerst die Einstellungen für COM%d: !";
inline constexpr const char* kSettingsSaveFailed = "Fehler beim Abspeichern der Datei %s !";
inline constexpr const char* kSettingsWriteFailed = "Fehler beim Schreiben der Datei %s!";

// Headless mode.
inline constexpr const char* kHeadlessSafeAnswer = "(ohne Bediener beantwortet mit: %s)";
inline constexpr const char* kYes = "Ja";
inline constexpr const char* kNo = "Nein";
inline constexpr const char* kHeadlessRaiseRequest =
    "Ein zweiter Programmstart wurde abgewiesen; Quillon läuft bereits.";

// Result codes of the serial and protocol layer and their texts.
struct CodeText {
  int code;
  const char* text;
};
inline constexpr CodeText kPortErrorTexts[] = {
    {0, "Kein Fehler"},
    {-1, "Schnittstelle nicht geöffnet"},
    {-2, "Fehler beim Öffnen der Schnittstelle"},
    {-3, "Schnittstelle ist bereits geöffnet"},
    {-4, "Fehler beim Setzen der Parameter"},
    {-5, "Ungültiger Schnittstellenhandle"},
    {-6, "Weder RX- noch TX-Warteschlange gewählt"},
    {-7, "Fehler beim Leeren der Empfangswarteschlange"},
    {-8, "Fehler beim Leeren der Sendewarteschlange"},
    {-9, "Fehler beim Schließen der Schnittstelle"},
    {-10, "Fehler beim Lesen eines Zeichens"},
    {-11, "Ungültige Timeoutzeit angegeben"},
    {-12, "v24-Timeout"},
    {-13, "Ungültige Längenangabe bei gets() angegeben"},
    {-14, "Kein Terminierungszeichen bei gets() empfangen"},
    {-15, "Ungültige oder nicht unterstützte serielle Schnittstelle angegeben"},
    {-16, "Fehler beim Testen der seriellen Schnittstelle"},
    {-17, "Fehler beim Senden eines Zeichens"},
    {-18, "Fehler beim Senden eines Datenblocks"},
    {-19, "Ungültige Zeichenverzögerung angegeben"},
    {-20, "Parameter können nicht gesetzt werden"},
    {-21, "Baudrate kann nicht gesetzt werden"},
    {-22, "#Datenbits kann nicht gesetzt werden"},
    {-23, "Parität kann nicht gesetzt werden"},
    {-24, "#Stopbits können nicht gesetzt werden"},
    {-25, "Die INI-Datei ist fehlerhaft"},
    {-26, "Schnittstelle wurde vorzeitig vom Benutzer angefordert"},
    {-27, "Keine Bestätigung beim Übertragen einer Datenzeile empfangen"},
    {-28, "Die geöffnete Schnittstelle ist nicht mehr funktionstüchtig"},
    {-50, "OK-Meldung vom Modem empfangen"},
    {-51, "Fehler bei Modem-Antwort"},
    {-52, "Modem-Initialisierung korrekt beendet"},
    {-53, "Fehler bei Modem-Initialisierung"},
    {-54, "Fehler beim Wählen der Telefonnr."},
    {-55, "Die Modemverbindung wurde aufgebaut"},
    {-56, "Fehler beim Aufbauen der Modemverbindung"},
    {-58, "Das empfangene Passwort war ungültig"},
    {-60, "Fehler beim Beenden der Modemverbindung"},
    {-99, "Fehlercode nicht definiert"},
    {-101, "Zeichen [ACK] empfangen"},
    {-102, "Zeichen [NAK] empfangen"},
    {-104, "AckNak-Datenzeile empfangen"},
    {-105, "Zuviele NAK's gesendet"},
    {-106, "Ende der AckNak-Übertragung"},
    {-107, "MDE-Gerät antwortet nicht auf Polling"},
    {-108, "Prüfsumme ist nicht korrekt"},
    {-109, "Zu wenig Zeichen empfangen"},
    {-110, "ACK-/NAK-Datenblock schließt nicht mit [cr] ab"},
    {-111, "Ungültigen Blockzähler empfangen"},
    {-150, "Datei zum Senden nicht gefunden"},
};
inline constexpr const char* kUnknownError = "Unbekannter Fehler";

// Block protocol.
inline constexpr const char* kTransferTitle = "QUILLON DATENTRANSFER";
inline constexpr const char* kClockCommand = "MDE-ZEIT";

// Modem dialogue: log lines, and the texts sent to the caller.
inline constexpr const char* kModemSend = "Sende \"%s\" an Modem";
inline constexpr const char* kModemReceived = "Empfange \"%s\" vom Modem";
inline constexpr const char* kModemCallReceived = "Anruf erhalten";
inline constexpr const char* kModemTryConnect = "Versuche Verbindung herzustellen";
inline constexpr const char* kModemConnected = "Verbindung hergestellt";
inline constexpr const char* kModemConnectFailed = "Verbindung kann nicht hergestellt werden";
inline constexpr const char* kModemSendConnectionId = "Sende Verbindungskennung \"%s\"";
inline constexpr const char* kModemPasswordReceivedText = "Passwort \"%s\" empfangen";
inline constexpr const char* kModemPasswordReceived = "Passwort empfangen";
inline constexpr const char* kModemPasswordCorrectText = "Passwort \"%s\" ist korrekt";
inline constexpr const char* kModemPasswordCorrect = "Passwort ist korrekt";
inline constexpr const char* kModemPasswordWrongText = "Passwort \"%s\" ist falsch";
inline constexpr const char* kModemPasswordWrong = "Passwort ist falsch";
inline constexpr const char* kModemNoPassword = "Kein Passwort empfangen";
inline constexpr const char* kModemTryHangUp = "Versuche Leitung freizugeben";
inline constexpr const char* kModemHangUpFailed = "Fehler beim Beenden der Modemverbindung";
inline constexpr const char* kModemPasswordAccepted = "KENNWORT OK";        // + CR, to the caller
inline constexpr const char* kModemPasswordRejected = "KENNWORT NICHT OK";  // + CR, to the caller
inline constexpr const char* kModemReadyId = "BEREIT";  // + CR: connectionId with ModemSendReady

// Logbook: the per-port logbook, its file, the external daily logbook.
inline constexpr const char* kLogbookCreated = "Neues Logbuch angelegt";
inline constexpr const char* kLogbookLoadFailed = "Fehler beim Laden der Logbuchdatei %s";
inline constexpr const char* kLogbookSaveFailed = "Fehler beim Speichern der Logbuchdatei %s";
inline constexpr const char* kExtLogWriteFailed =
    "Fehler beim Schreiben der externen Logbuchdatei %s";

// Receive thread.
inline constexpr const char* kPortClosingForPause =
    "Schnittstelle wird für den Datenempfang geschlossen";
inline constexpr const char* kPortReopening =
    "Schnittstelle wird für den Datenempfang wieder geöffnet";
inline constexpr const char* kPortClosing = "Schnittstelle wird geschlossen";
inline constexpr const char* kNetworkStartFailed = "Fehler beim Starten des Verano-Funknetzes";
inline constexpr const char* kNetworkStarting = "Verano-Funknetz wird gestartet";
inline constexpr const char* kNetworkStopping = "Verano-Funknetz wird angehalten";
inline constexpr const char* kSatelliteOnline = "Satellit %s ist online";
inline constexpr const char* kSatelliteOffline = "Satellit %s ist offline";
inline constexpr const char* kSatelliteQueryFailed = "Fehler beim Abfragen der Satellitenstati";
inline constexpr const char* kPortOpening = "Schnittstelle wird geöffnet";
inline constexpr const char* kPortOpenFailed = "Fehler beim Öffnen der Schnittstelle (%d)";
inline constexpr const char* kPolling = "Polle MDE-Geräteadresse %s an ...";
inline constexpr const char* kPollAddressActive = "MDE-Geräteadresse %s ist aktiv";
inline constexpr const char* kReceivingFile = "Empfange Datei %s";
inline constexpr const char* kCreateFileFailed = "Fehler beim Anlegen der Datei %s";
inline constexpr const char* kDeleteFileFailed = "Fehler beim Löschen der Datei %s (%d)";
inline constexpr const char* kReceiveFileFailedLog = "Fehler beim Empfangen der Datei %s (%d)";
inline constexpr const char* kReceiveFileFailed = "Fehler beim Empfangen der Datei";
inline constexpr const char* kCommandsDone = "MDE-Kommando(s) korrekt ausgeführt";
inline constexpr const char* kCommandsFailed = "Fehler beim Ausführen von MDE-Kommando(s)";
inline constexpr const char* kCommErrorStart = "Kommunikationsfehler (";
inline constexpr const char* kCommErrorBlock = "; DS=";
inline constexpr const char* kCommErrorData = "; Daten=";
inline constexpr const char* kBadTerminalAnswer = "Fehlerhafte Antwort vom MDE-Gerät empfangen";
inline constexpr const char* kClockSyncing = "Synchronisiere MDE-Uhr ...";
inline constexpr const char* kClockSyncFailed = "Fehler beim Synchronisieren der MDE-Uhr";
inline constexpr const char* kClockSyncAfter = "MDE-Uhr wird nach %d ms synchronisiert";
inline constexpr const char* kClockSynced = "MDE-Uhr wird synchronisiert";
inline constexpr const char* kClockSyncDone =
    "Datenübertragung wird nach MDE-Uhr-Synchronisation korrekt beendet";
inline constexpr const char* kModemState = "Modem ist %s";
inline constexpr const char* kModemOnline = "online";
inline constexpr const char* kModemOffline = "offline";
inline constexpr const char* kModemInitOk = "Modem-Initialisierung ok";
inline constexpr const char* kModemInitFailed = "Fehler beim Initialisieren des Modems";
inline constexpr const char* kThreadStopFailed = "Fehler beim Beenden des Empfangsthreads";
inline constexpr const char* kPortAlreadyOpenCommand =
    "MDE-Befehl: Schnittstelle ist bereits geöffnet";

// Started programs, post-processing and terminal commands.
inline constexpr const char* kPostStartWait = "Starte %s und warte";
inline constexpr const char* kPostStart = "Starte %s";
inline constexpr const char* kPostCallFailed = "Fehler beim Aufruf von %s";
inline constexpr const char* kPostCallEnded = "Aufruf von %s beendet";
inline constexpr const char* kPostCallDuration = "Aufrufdauer: %d ms";
inline constexpr const char* kCmdPrefix = "MDE-Befehl: ";
inline constexpr const char* kCmdErrorHead = "$Error:";  // an error reply: head + message + tail
inline constexpr const char* kCmdErrorTail = "$";
inline constexpr const char* kCmdFaulty = "Fehlerhafter MDE-Befehl:<%s>";
inline constexpr const char* kCmdUnknown = "unbekannt";
// The "%s...%s" texts: filled with ("$Error:", name, "$") for the reply to the terminal and
// with (prefix, full name, "") for the logbook.
inline constexpr const char* kCmdFileNotFound = "%sDatei %s nicht gefunden%s";
inline constexpr const char* kCmdCall = "%sAufruf von %s";
inline constexpr const char* kCmdCallWait = "%sAufruf von %s und warten";
inline constexpr const char* kCmdCallFailed = "%sFehler beim Aufruf der Datei %s%s";
inline constexpr const char* kCmdDelete = "%sLösche Datei %s";
inline constexpr const char* kCmdDeleteFailed = "%sFehler beim Löschen der Datei %s%s";
inline constexpr const char* kCmdFileInfo = "%sErmittle Informationen zur Datei %s";
inline constexpr const char* kCmdDiskFree = "%sErmittle freie Festplattenkapazität";
inline constexpr const char* kCmdDiskFreeFailed =
    "%sFehler beim Ermitteln der freien Festplattenkapazität%s";
inline constexpr const char* kCmdReplyFailed =
    "%sFehler beim Senden der angeforderten Informationen";

// File store: target files by name template, the local store of a port and its recovery.
inline constexpr const char* kDriveNotReady = "Laufwerk %s: ist nicht bereit";
inline constexpr const char* kCreateDirectoryFailed = "Fehler beim Erstellen des Verzeichnisses %s";
inline constexpr const char* kDriveAccessError = "Genereller Zugriffsfehler auf Laufwerk %s (%d)";
inline constexpr const char* kFileStored = "Datei %s gespeichert";
inline constexpr const char* kDataAppended = "Daten an Datei %s angehängt";
inline constexpr const char* kRecordsAppended = "%d Datensätze an Datei %s angehängt";
inline constexpr const char* kRecordAppended = "%d Datensatz an Datei %s angehängt";
inline constexpr const char* kDataSaved = "Daten in Datei %s abgespeichert";
inline constexpr const char* kRecordsSaved = "%d Datensätze in Datei %s abgespeichert";
inline constexpr const char* kRecordSaved = "%d Datensatz in Datei %s abgespeichert";
inline constexpr const char* kBlocksSaved = "%d Datenblöcke in Datei %s abgespeichert";
inline constexpr const char* kBlockSaved = "%d Datenblock in Datei %s abgespeichert";
inline constexpr const char* kStoreFileFailedLog = "Fehler beim Abspeichern der Datei %s";
inline constexpr const char* kStoreFileFailed = "Fehler beim Abspeichern der Datei";
inline constexpr const char* kStoredLocally = "Daten in lokaler Datei %s gespeichert";
inline constexpr const char* kStoreLocallyFailed = "Fehler beim lokalen Abspeichern der Datei %s";
inline constexpr const char* kLocalFileMoved = "Daten von lokaler Datei %s nach %s verschoben";
inline constexpr const char* kLocalFileMoveFailed =
    "Fehler beim Verschieben der lokalen Datei %s nach %s";
inline constexpr const char* kLocalStoreDir = "%sTemp. Daten von COM%d/";  // program dir, port
inline constexpr const char* kLocalFilePrefix = "Daten(";  // + five digits + ").dat"
inline constexpr const char* kLocalFileSuffix = ").dat";
inline constexpr const char* kLostFileName = "Lost(00000).dat";
inline constexpr const char* kOverflowName = "Ueberlauf";  // + "." + k

// Received data that is not stored: the receive file lost under the thread, a record that a
// terminal's repeat tokens blow up beyond any sensible size.
inline constexpr const char* kTempFileLost =
    "Die Empfangsdatei %s wurde während der Übertragung gelöscht oder ersetzt; die Daten werden "
    "nicht gespeichert";
inline constexpr const char* kRecordTooLong =
    "Datensatz in Block %d ist nach dem Auflösen der Wiederholungen länger als %d Byte; die "
    "Übertragung wird abgebrochen";
// A target name a terminal gave that names one of the program's own files.
inline constexpr const char* kTargetIsProgramFile =
    "Die Zieldatei %s ist eine Datei von Quillon und wird nicht beschrieben";

// X-, Y- and Z-Modem reception: a transfer that failed after data had arrived (protocol name,
// file name).
inline constexpr const char* kModemReceiveFailed = "Fehler beim %s-Empfang der Datei %s";

// Sending a file to a terminal (send dialog, start file, "$tx" and "$s^update").
inline constexpr const char* kSendStandard = "Sende Datei %s";
inline constexpr const char* kSendMsComm = "Sende Datei %s im MSCOMM-Modus";
inline constexpr const char* kSendUph = "Sende Datei %s im UPH-Modus";
inline constexpr const char* kSendDl = "Sende Datei %s im DL-Modus";
inline constexpr const char* kSendXModem = "Sende Datei %s im XMODEM-Protokoll";
inline constexpr const char* kSendYModem = "Sende Datei %s im YMODEM-Protokoll";
inline constexpr const char* kSendZModem = "Sende Datei %s im ZMODEM-Protokoll";
inline constexpr const char* kSendOpenFailed = "Fehler beim Öffnen der Schnittstelle";
inline constexpr const char* kSendFailed = "Fehler beim Senden der Datei %s";
inline constexpr const char* kSendFailedMsComm = "Fehler beim Senden der Datei %s im MSCOMM-Modus";
inline constexpr const char* kSendFailedUph = "Fehler beim Senden der Datei %s im UPH-Modus";
inline constexpr const char* kSendFailedDl = "Fehler beim Senden der Datei %s im DL-Modus";
inline constexpr const char* kSendDone = "Datei %s wurde korrekt gesendet";
// A line of a UPH or DL file too long to send: file, line number, the reason.
inline constexpr const char* kSendLongLine = "Datei %s, Zeile %d: %s";
inline constexpr const char* kSendPortNotReleased =
    "Die Schnittstelle COM%d wurde vom Datenempfang nicht innerhalb von 10 Sekunden freigegeben";
inline constexpr const char* kSendCancelled = "Die Datenübertragung wurde abgebrochen!";
inline constexpr const char* kSendOnlyOneFile = "Bitte nur eine Datei in das Eingabefeld ziehen!";
inline constexpr const char* kSendFileDialog = "Datei zum Senden ...";
inline constexpr const char* kSendBlocksLabel = "Gesendete Datenblöcke:";
inline constexpr const char* kSendBytesLabel = "Gesendete Bytes:";
// "$tx" and "$s^update".
inline constexpr const char* kCmdPrefixPolled = "MDE-Befehl (%s): ";
inline constexpr const char* kCmdSendFile = "%sSende Datei %s";
inline constexpr const char* kCmdSendFailed = "%sFehler beim Senden der Datei %s%s";
inline constexpr const char* kCmdSent = "Datei %s korrekt gesendet";
inline constexpr const char* kCmdSentRecords = "Datei %s mit %d Datensätzen korrekt gesendet";
inline constexpr const char* kCmdSentRecord = "Datei %s mit %d Datensatz korrekt gesendet";

}  // namespace quillon::txt
