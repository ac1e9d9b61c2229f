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

}  // namespace quillon::txt
