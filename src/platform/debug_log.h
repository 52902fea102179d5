// The debug switch: with ORBISCOPE_DEBUG set (and not "0") the library logs what it finds
// and does through GLib's logging, domain "Orbiscope", so that a desktop session's journal
// gets it; without it the library says nothing.
#pragma once

namespace orb {

bool DebugEnabled();
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orb
