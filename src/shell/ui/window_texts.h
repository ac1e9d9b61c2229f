#pragma once
// The texts of the main window and the about box (menus, captions, hints, questions).
namespace quillon::txt {

// Menus; "&" marks the accelerator.
inline constexpr const char* kMenuFile = "&Datei";
inline constexpr const char* kMenuStartReception = "&Empfang starten";
inline constexpr const char* kMenuReceptionStarted = "&Empfang gestartet";
inline constexpr const char* kMenuSend = "&Senden";
inline constexpr const char* kMenuQuit = "&Beenden";
inline constexpr const char* kMenuView = "&Ansicht";
inline constexpr const char* kMenuViewStatus = "&Status";
inline constexpr const char* kMenuViewData = "&Daten";
inline constexpr const char* kMenuViewLogbook = "&Logbuch";
inline constexpr const char* kMenuProgram = "&Programm";
inline constexpr const char* kMenuSettings = "&Einstellungen";
inline constexpr const char* kMenuInfo = "&Info";
inline constexpr const char* kMenuVersion = "&Programmversion";

// Tool buttons: captions and hints.
inline constexpr const char* kStartStopCaption = "Empfang";
inline constexpr const char* kSendCaption = "Senden";
inline constexpr const char* kSettingsCaption = "Einstellungen";
inline constexpr const char* kHintStartStop = "Empfang starten/stoppen (F5)";
inline constexpr const char* kHintSend = "Datei/Programm senden (F6)";
inline constexpr const char* kHintSettings = "Einstellungen (F9)";
inline constexpr const char* kHintPortButton = "Status/Daten/Logbuch der Schnittstelle anzeigen";

// Pages and their labels.
inline constexpr const char* kPageStatus = "Status";
inline constexpr const char* kPageData = "Daten";
inline constexpr const char* kPageLogbook = "Logbuch";
inline constexpr const char* kReceivedBlocks = "Empfangene Datenblöcke:";
inline constexpr const char* kReceivedBytes = "Empfangene Bytes:";
inline constexpr const char* kSentBlocks = "Gesendete Datenblöcke:";
inline constexpr const char* kSentBytes = "Gesendete Bytes:";
inline constexpr const char* kFileLabel = "Datei:";
inline constexpr const char* kDataLabel = "Empfangene Daten:";
inline constexpr const char* kLogbookLabel = "Logbuch:";

// Settings while reception runs.
inline constexpr const char* kStopForSettings =
    "Zum Konfigurieren muß der Datenempfang angehalten werden !\rDen Datenempfang jetzt "
    "anhalten ?";
inline constexpr const char* kRestartReception = "Den Datenempfang wieder starten ?";

// About box.
inline constexpr const char* kAboutTitle = "Programmversion";
inline constexpr const char* kAboutDescription =
    "Empfang von MDE-Daten über serielle Schnittstellen";
inline constexpr const char* kAboutVersion = "Version %s";
inline constexpr const char* kAboutMemory = "Verfügbarer Arbeitsspeicher: %s";
inline constexpr const char* kAboutMemoryUnknown = "unbekannt";
inline constexpr const char* kOk = "OK";

}  // namespace quillon::txt
