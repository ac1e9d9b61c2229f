#pragma once
// The German texts of the radio network setup dialog and its input dialogs. printf-style
// placeholders are filled by the dialogs.
namespace quillon::nettxt {

// The setup dialog and its pages.
inline constexpr const char* kCaption = "Einstellungen";
inline constexpr const char* kPageSatellites = "Satelliten";
inline constexpr const char* kPageGroups = "Gruppen";
inline constexpr const char* kPageTerminals = "Stationäre Terminals";
inline constexpr const char* kPageOptions = "Optionen";
inline constexpr const char* kOk = "&Ok";
inline constexpr const char* kCancel = "&Abbrechen";
inline constexpr const char* kApply = "&Übernehmen";

// Page "Satelliten": the search and the address change.
inline constexpr const char* kFoundLabel = "Gefundene Satelliten:";
inline constexpr const char* kSearch = "&Suchen";
inline constexpr const char* kStopSearch = "&Suche anhalten";
inline constexpr const char* kNewAddress = "&Neue Adresse";
inline constexpr const char* kSearching = "Suche Adresse %03d mit %d Baud ...";
inline constexpr const char* kFoundItem = "Adresse %03d";
inline constexpr const char* kInvalidAddressSuffix = " (ungültige Adresse)";
inline constexpr const char* kChangingItem = "Adresse %03d ?";
inline constexpr const char* kChangeCaption = "Satellitenadresse ändern...";
inline constexpr const char* kChangePrompt = "Neue Satellitenadresse:";
inline constexpr const char* kAddressInvalid =
    "Ungültige Adresse: Die Adresse muß zwischen 1 und 100 liegen !";
inline constexpr const char* kAddressTaken = "Die Satellitenadresse %03d wurde schon vergeben !";

// Page "Gruppen".
inline constexpr const char* kGroupsLabel = "Gruppen:";
inline constexpr const char* kGroupSatellitesLabel = "Satelliten:";
inline constexpr const char* kAvailableLabel = "Verfügbare Satelliten:";
inline constexpr const char* kNewGroup = "&Neue Gruppe";
inline constexpr const char* kEditGroup = "Än&dern";
inline constexpr const char* kDeleteGroup = "&Löschen";
inline constexpr const char* kNewSatellite = "Ne&uer Satellit";
inline constexpr const char* kEditSatellite = "Ände&rn";
inline constexpr const char* kDeleteSatellite = "Lös&chen";
inline constexpr const char* kEditGroupSatellite = "Änd&ern";
inline constexpr const char* kDeleteGroupSatellite = "Lö&schen";
inline constexpr const char* kAddSelected = "<";
inline constexpr const char* kAddAll = "<<";
inline constexpr const char* kRemoveSelected = ">";
inline constexpr const char* kRemoveAll = ">>";
inline constexpr const char* kMenuAddSelected = "In die Gruppe aufnehmen";
inline constexpr const char* kMenuAddAll = "Alle in die Gruppe aufnehmen";
inline constexpr const char* kMenuRemoveSelected = "Aus der Gruppe entfernen";
inline constexpr const char* kMenuRemoveAll = "Alle aus der Gruppe entfernen";
inline constexpr const char* kSatelliteItem = "%02d: %s (Terminals %d-%d)";
inline constexpr const char* kDeleteOneGroup = "Gruppe '%s' löschen ?";
inline constexpr const char* kDeleteGroups = "Alle markierten Gruppen löschen ?";
inline constexpr const char* kDeleteOneSatellite = "Satelliten %02d (%s) löschen ?";
inline constexpr const char* kDeleteSatellites = "Alle markierten Satelliten löschen ?";
inline constexpr const char* kNoSatelliteIdFree = "Es ist keine Satelliten-ID mehr frei !";

// Page "Stationäre Terminals".
inline constexpr const char* kTerminalsLabel = "Terminals:";
inline constexpr const char* kNewTerminal = "&Neues Terminal";
inline constexpr const char* kEditTerminal = "Än&dern";
inline constexpr const char* kDeleteTerminal = "&Löschen";
inline constexpr const char* kTerminalItem = "%03d: %s";
inline constexpr const char* kDeleteOneTerminal = "Terminal '%03d' löschen ?";
inline constexpr const char* kDeleteTerminals = "Alle markierten Terminals löschen ?";

// Page "Optionen".
inline constexpr const char* kTermDataGroup = " Terminaldaten ";
inline constexpr const char* kTermIdBeforeData = "Terminal-ID vor Daten";
inline constexpr const char* kWithCounter = "mit Telegrammzähler";
inline constexpr const char* kDeleteDuplicates = "Doppelte Datensätze löschen";
inline constexpr const char* kTimingGroup = " Satelliten-Timing ";
inline constexpr const char* kOnlineOfflineLabel = "Minimale Pause\nvor Online/Offline:";
inline constexpr const char* kSatCmdLabel = "Minimale Pause\nzwischen Kommandos:";
inline constexpr const char* kGeneralGroup = " Allgemein ";
inline constexpr const char* kWithLogbook = "Logbuch speichern";

// Saving.
inline constexpr const char* kSaveFailed =
    "Die Funknetz-Einstellungen konnten nicht gespeichert werden:\r%s";

// The input dialogs.
inline constexpr const char* kGroupCaption = "Gruppe";
inline constexpr const char* kSatelliteCaption = "Satellit";
inline constexpr const char* kTerminalCaption = "Terminal";
inline constexpr const char* kNameLabel = "Name:";
inline constexpr const char* kSatNrLabel = "ID-Nummer:";
inline constexpr const char* kVonTermLabel = "Terminals:";
inline constexpr const char* kBisTermLabel = "bis";
inline constexpr const char* kTermNrLabel = "Nummer:";
inline constexpr const char* kSatelliteNamePrefix = "Satellit ";
inline constexpr const char* kTerminalNamePrefix = "Terminal ";
inline constexpr const char* kFormOk = "&Ok";
inline constexpr const char* kFormCancel = "&Abbrechen";
inline constexpr const char* kNameUnfit =
    "Der Name darf kein Komma, keinen senkrechten Strich und keinen Zeilenumbruch enthalten !";
inline constexpr const char* kGroupNameUnfit =
    "Ein Gruppenname darf kein Gleichheitszeichen enthalten und nicht mit ';' oder '[' "
    "beginnen !";
inline constexpr const char* kNameEmpty = "Bitte einen Namen eingeben !";
inline constexpr const char* kSatelliteIdTaken = "Die ID-Nummer %d ist schon vergeben !";
inline constexpr const char* kTerminalNrTaken = "Die Nummer %d ist schon vergeben !";

// Opening a port's network from the setup dialog.
inline constexpr const char* kPortOpenFailed =
    "Die Schnittstelle %s kann nicht geöffnet werden.\rSie ist nicht vorhanden oder wird von "
    "einem anderen Programm benutzt.";
inline constexpr const char* kNoNetworkFree =
    "Das Funknetz an %s kann nicht geöffnet werden: Es sind schon alle Funknetze in Gebrauch.";

}  // namespace quillon::nettxt
