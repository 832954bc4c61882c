// Timed input for headless runs of the demo: a small text format, and the
// built-in session the demo plays when it has no display and no script.
//
// One event per line, blank lines and lines starting with # ignored:
//
//   <time> move X Y            the pointer moves to (X, Y)
//   <time> down BUTTON X Y     BUTTON is left, middle or right (or 1, 2, 3)
//   <time> up BUTTON X Y
//   <time> key KEY             a key pressed and released
//   <time> keydown KEY
//   <time> keyup KEY
//   <time> close               the user closes the window
//
// <time> is in seconds from the start of the frame loop (0 to 3600); X and Y
// are window client pixels and may lie outside the window. KEY is a letter
// or digit, one of space, enter, escape, tab, shift, control, alt, left,
// right, up, down, or a virtual-key code (1 to 255, decimal or 0x hex).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/headless.h"

// Limits that keep a damaged or hostile script from exhausting memory.
inline constexpr std::size_t DEMO_SCRIPT_MAX_BYTES = std::size_t{16} << 20;
inline constexpr std::size_t DEMO_SCRIPT_MAX_LINE = 1024;
inline constexpr double DEMO_SCRIPT_MAX_TIME = 3600.0;
inline constexpr long DEMO_SCRIPT_MAX_COORD = 1000000;

// Parses script text. False with `problem` ("line N: ...") on the first bad
// line; `events` then holds nothing.
bool Demo_ParseScript(const std::string& text, std::vector<Win_HeadlessEvent>& events, std::string& problem);

// Reads and parses a script file (at most DEMO_SCRIPT_MAX_BYTES).
bool Demo_LoadScript(const std::string& path, std::vector<Win_HeadlessEvent>& events, std::string& problem);

// True when some event asks the window to close.
bool Demo_ScriptCloses(const std::vector<Win_HeadlessEvent>& events);
// The latest event time, 0 for no events.
double Demo_ScriptEnd(const std::vector<Win_HeadlessEvent>& events);

// The built-in session, timed for one frame every `step` seconds: two
// left-button strokes across the window over about two seconds, a
// right-button click that wipes the painting, a final stroke, then close.
std::vector<Win_HeadlessEvent> Demo_BuiltInSession(double step);
