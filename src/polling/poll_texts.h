#pragma once
// The texts of the poll test.
namespace quillon::txt {

inline constexpr const char* kPollTestOpenFailed =
    "Fehler beim Öffnen der seriellen Schnittstelle %s: !";
// A time or address not known yet.
inline constexpr const char* kPollTestNoValue = "-";
inline constexpr const char* kPollTestTimes = "Min:%s  Akt:%s  Max:%s";
// An address with more digits than the address length allows.
inline constexpr const char* kPollAddressOverflow = "***";

}  // namespace quillon::txt
