#pragma once
// The virtual tracker's line as the tests under Wine see it: the port COM5,
// which the Wine prefix maps onto the pseudo-terminal of the tarvik-bootsim
// that with_tracker.sh runs around the test program.
namespace tarvik::testing {

inline constexpr const char* kTrackerPort = "COM5";
inline constexpr const char* kTrackerHint =
    "is the virtual tracker running on COM5? (run through tests/wine/with_tracker.sh)";

// A pseudo-terminal cannot keep even parity, and on a line that already has
// every other setting Wine's SetCommState then refuses even parity (error
// 87): every open after the first would fail, where a real UART takes it.
// Giving the line other settings first (no parity) makes the next open meet
// the line as the first open does. False when COM5 does not open.
bool PrepareTrackerLine();

}  // namespace tarvik::testing
