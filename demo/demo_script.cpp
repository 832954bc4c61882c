// The demo's input scripts and its built-in session.
#include "demo/demo_script.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/backend.h"

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ParseTime(const std::string& word, double& time) {
    char* end = nullptr;
    errno = 0;
    time = std::strtod(word.c_str(), &end);
    return end != word.c_str() && *end == '\0' && errno == 0 && std::isfinite(time) && time >= 0.0 &&
           time <= DEMO_SCRIPT_MAX_TIME;
}

bool ParseInt(const std::string& word, long lo, long hi, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(word.c_str(), &end, 0);
    return end != word.c_str() && *end == '\0' && errno == 0 && value >= lo && value <= hi;
}

bool ParseButton(const std::string& word, std::int32_t& button) {
    const std::string name = Lower(word);
    if (name == "left" || name == "1")
        button = 1;
    else if (name == "middle" || name == "2")
        button = 2;
    else if (name == "right" || name == "3")
        button = 3;
    else
        return false;
    return true;
}

bool ParseKey(const std::string& word, std::int32_t& key) {
    static const struct {
        const char* name;
        std::int32_t code;
    } kNames[] = {
        {"space", WIN_VK_SPACE},  {"enter", WIN_VK_RETURN}, {"return", WIN_VK_RETURN}, {"escape", WIN_VK_ESCAPE},
        {"esc", WIN_VK_ESCAPE},   {"tab", WIN_VK_TAB},      {"shift", WIN_VK_SHIFT},   {"control", WIN_VK_CONTROL},
        {"ctrl", WIN_VK_CONTROL}, {"alt", WIN_VK_MENU},     {"left", WIN_VK_LEFT},     {"right", WIN_VK_RIGHT},
        {"up", WIN_VK_UP},        {"down", WIN_VK_DOWN},
    };
    if (word.size() == 1 && std::isalnum(static_cast<unsigned char>(word[0]))) {
        key = std::toupper(static_cast<unsigned char>(word[0]));  // virtual keys of letters are upper case
        return true;
    }
    const std::string name = Lower(word);
    for (const auto& entry : kNames)
        if (name == entry.name) {
            key = entry.code;
            return true;
        }
    long code = 0;
    if (!ParseInt(word, 1, 255, code)) return false;
    key = static_cast<std::int32_t>(code);
    return true;
}

Win_HeadlessEvent Event(double time, Win_HeadlessEventKind kind, std::int32_t code = 0, std::int32_t x = 0,
                        std::int32_t y = 0) {
    Win_HeadlessEvent e;
    e.time = time;
    e.kind = kind;
    e.code = code;
    e.x = x;
    e.y = y;
    return e;
}

// One line's events; false with `problem` set when the line is malformed.
bool ParseLine(const std::vector<std::string>& w, std::vector<Win_HeadlessEvent>& out, std::string& problem) {
    double time = 0.0;
    if (!ParseTime(w[0], time)) {
        problem = "'" + w[0] + "' is not a time in seconds from 0 to 3600";
        return false;
    }
    if (w.size() < 2) {
        problem = "an event name must follow the time";
        return false;
    }
    const std::string what = Lower(w[1]);
    const auto arity = [&](std::size_t count, const char* form) {
        if (w.size() == count + 2) return true;
        problem = std::string("expected '") + form + "'";
        return false;
    };
    const auto point = [&](std::size_t at, std::int32_t& x, std::int32_t& y) {
        long vx = 0;
        long vy = 0;
        if (!ParseInt(w[at], -DEMO_SCRIPT_MAX_COORD, DEMO_SCRIPT_MAX_COORD, vx) ||
            !ParseInt(w[at + 1], -DEMO_SCRIPT_MAX_COORD, DEMO_SCRIPT_MAX_COORD, vy)) {
            problem = "coordinates are whole numbers from -1000000 to 1000000";
            return false;
        }
        x = static_cast<std::int32_t>(vx);
        y = static_cast<std::int32_t>(vy);
        return true;
    };
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t code = 0;
    if (what == "move") {
        if (!arity(2, "TIME move X Y") || !point(2, x, y)) return false;
        out.push_back(Event(time, WIN_HEADLESS_MOUSEMOVE, 0, x, y));
    } else if (what == "down" || what == "up") {
        if (!arity(3, "TIME down|up BUTTON X Y")) return false;
        if (!ParseButton(w[2], code)) {
            problem = "buttons are left, middle and right, not '" + w[2] + "'";
            return false;
        }
        if (!point(3, x, y)) return false;
        out.push_back(Event(time, what == "down" ? WIN_HEADLESS_MOUSEDOWN : WIN_HEADLESS_MOUSEUP, code, x, y));
    } else if (what == "key" || what == "keydown" || what == "keyup") {
        if (!arity(1, "TIME key KEY")) return false;
        if (!ParseKey(w[2], code)) {
            problem = "'" + w[2] + "' is not a key";
            return false;
        }
        if (what != "keyup") out.push_back(Event(time, WIN_HEADLESS_KEYDOWN, code));
        if (what != "keydown") out.push_back(Event(time, WIN_HEADLESS_KEYUP, code));
    } else if (what == "close") {
        if (!arity(0, "TIME close")) return false;
        out.push_back(Event(time, WIN_HEADLESS_CLOSE));
    } else {
        problem = "unknown event '" + w[1] + "' (move, down, up, key, keydown, keyup, close)";
        return false;
    }
    return true;
}

// A point on the cubic Bezier curve p0..p3 at t, rounded to whole pixels.
void Bezier(const double (&p)[4][2], double t, std::int32_t& x, std::int32_t& y) {
    const double s = 1.0 - t;
    const double a = s * s * s;
    const double b = 3.0 * s * s * t;
    const double c = 3.0 * s * t * t;
    const double d = t * t * t;
    x = static_cast<std::int32_t>(std::floor(a * p[0][0] + b * p[1][0] + c * p[2][0] + d * p[3][0] + 0.5));
    y = static_cast<std::int32_t>(std::floor(a * p[0][1] + b * p[1][1] + c * p[2][1] + d * p[3][1] + 0.5));
}

// Press, one move per frame along the curve for `duration`, release.
void Stroke(std::vector<Win_HeadlessEvent>& out, double start, double duration, double step,
            const double (&curve)[4][2]) {
    std::int32_t x = 0;
    std::int32_t y = 0;
    Bezier(curve, 0.0, x, y);
    out.push_back(Event(start, WIN_HEADLESS_MOUSEMOVE, 0, x, y));
    out.push_back(Event(start + step, WIN_HEADLESS_MOUSEDOWN, 1, x, y));
    const int moves = static_cast<int>(duration / step);
    for (int k = 1; k <= moves; ++k) {
        Bezier(curve, static_cast<double>(k) / moves, x, y);
        out.push_back(Event(start + (k + 1) * step, WIN_HEADLESS_MOUSEMOVE, 0, x, y));
    }
    out.push_back(Event(start + (moves + 2) * step, WIN_HEADLESS_MOUSEUP, 1, x, y));
}

}  // namespace

bool Demo_ParseScript(const std::string& text, std::vector<Win_HeadlessEvent>& events, std::string& problem) {
    events.clear();
    std::vector<Win_HeadlessEvent> parsed;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++lineNumber;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() > DEMO_SCRIPT_MAX_LINE) {
            problem = "line " + std::to_string(lineNumber) + ": longer than " + std::to_string(DEMO_SCRIPT_MAX_LINE) +
                      " characters";
            return false;
        }
        if (line.find('\0') != std::string::npos) {
            problem = "line " + std::to_string(lineNumber) + ": holds a zero byte";
            return false;
        }
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        std::string why;
        if (!ParseLine(words, parsed, why)) {
            problem = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    events.swap(parsed);
    return true;
}

bool Demo_LoadScript(const std::string& path, std::vector<Win_HeadlessEvent>& events, std::string& problem) {
    events.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        problem = "cannot open the script '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[65536];
    bool tooLarge = false;
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
        if (text.size() + got > DEMO_SCRIPT_MAX_BYTES) {
            tooLarge = true;
            break;
        }
        text.append(buffer, got);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (tooLarge || failed) {
        problem = "cannot read the script '" + path + "'" +
                  (tooLarge ? ": larger than " + std::to_string(DEMO_SCRIPT_MAX_BYTES >> 20) + " MiB" : std::string());
        return false;
    }
    std::string why;
    if (!Demo_ParseScript(text, events, why)) {
        problem = path + ": " + why;
        return false;
    }
    return true;
}

bool Demo_ScriptCloses(const std::vector<Win_HeadlessEvent>& events) {
    for (const Win_HeadlessEvent& e : events)
        if (e.kind == WIN_HEADLESS_CLOSE) return true;
    return false;
}

double Demo_ScriptEnd(const std::vector<Win_HeadlessEvent>& events) {
    double end = 0.0;
    for (const Win_HeadlessEvent& e : events)
        if (e.time > end) end = e.time;
    return end;
}

std::vector<Win_HeadlessEvent> Demo_BuiltInSession(double step) {
    // Cubic curves across the 800 x 600 window, kept clear of its edges so
    // that no stamp wraps round to the far side.
    static const double kHigh[4][2] = {{90, 150}, {300, 30}, {520, 290}, {710, 160}};
    static const double kLow[4][2] = {{100, 470}, {300, 590}, {520, 360}, {700, 480}};
    static const double kFinal[4][2] = {{95, 455}, {340, -110}, {460, 700}, {705, 150}};
    std::vector<Win_HeadlessEvent> events;
    Stroke(events, 0.1, 0.9, step, kHigh);
    Stroke(events, 1.1, 0.9, step, kLow);
    events.push_back(Event(2.2, WIN_HEADLESS_MOUSEDOWN, 3, 400, 300));
    events.push_back(Event(2.3, WIN_HEADLESS_MOUSEUP, 3, 400, 300));  // the eraser
    Stroke(events, 2.45, 1.6, step, kFinal);
    events.push_back(Event(4.4, WIN_HEADLESS_CLOSE));
    return events;
}
