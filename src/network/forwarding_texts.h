#pragma once
// The forwarding's German texts (status line and logbook).
namespace quillon::net::txt {

inline constexpr const char* kBadJob = "Fehler bei einem TCP/IP-Job";
inline constexpr const char* kTcpSent = "Datei %s nach Adresse %s Port %d gesendet";
inline constexpr const char* kTcpSendFailed =
    "Fehler beim Senden der Datei %s nach Adresse %s Port %d";
inline constexpr const char* kTcpOpening = "Die TCP/IP-Verbindung %s Port %d wird geöffnet";
inline constexpr const char* kTcpOpenFailed = "Fehler beim Öffnen der TCP/IP-Verbindung %s Port %d";
inline constexpr const char* kTcpClosing = "Die TCP/IP-Verbindung %s Port %d wird geschlossen";
inline constexpr const char* kTcpCloseFailed =
    "Fehler beim Schließen der TCP/IP-Verbindung %s Port %d";
inline constexpr const char* kReply = "Antwort: %s";
inline constexpr const char* kFtpOpening = "Die FTP-Verbindung %s wird geöffnet";
inline constexpr const char* kFtpOpenFailed = "Fehler beim Öffnen der FTP-Verbindung %s";
inline constexpr const char* kFtpChangeDir = "Wechsel in das Verzeichnis \"%s\"";
inline constexpr const char* kFtpChangeDirFailed = "Fehler beim Wechseln in das Verzeichnis \"%s\"";
inline constexpr const char* kFtpAscii = "Setze den FTP-Host in den ASCII-Modus";
inline constexpr const char* kFtpBinary = "Setze den FTP-Host in den Binär-Modus";
inline constexpr const char* kFtpAsciiFailed = "Fehler beim Setzen den FTP-Host in den ASCII-Modus";
inline constexpr const char* kFtpBinaryFailed =
    "Fehler beim Setzen den FTP-Host in den Binär-Modus";
inline constexpr const char* kFtpSending = "Sende Datei %s nach FTP-Host %s";
inline constexpr const char* kFtpSent = "Datei %s wurde korrekt nach FTP-Host %s gesendet";
inline constexpr const char* kFtpFileMissing = "Datei %s wurde nicht gefunden";
inline constexpr const char* kFtpSendFailed = "Fehler beim Senden der Datei %s zum FTP-Host %s";
inline constexpr const char* kFtpClosing = "Die FTP-Verbindung %s wird geschlossen";
inline constexpr const char* kFtpCloseFailed = "Fehler beim Schließen der FTP-Verbindung %s";

// Beyond the status line's usual texts: what keeps a job from being queued or kept.
inline constexpr const char* kJobValueRefused =
    "Die Datei %s wird nicht weitergeleitet: eine Angabe der Weiterleitung enthält \"|\" oder "
    "einen Zeilenumbruch";
inline constexpr const char* kJobFileWriteFailed =
    "Die Auftragsdatei %s kann nicht geschrieben werden; der Auftrag bleibt nur bis zum "
    "Programmende erhalten";
inline constexpr const char* kJobFileUnreadable =
    "Die Auftragsdatei %s kann nicht gelesen werden; sie bleibt unverändert, neue Aufträge werden "
    "nicht gespeichert";
inline constexpr const char* kBadJobLinesMoved =
    "%d ungültige Zeilen der Auftragsdatei %s wurden nach %s verschoben";

}  // namespace quillon::net::txt
