#include "viewer_script.h"

#include <charconv>
#include <sstream>

namespace viewer {

namespace {

bool ToInt(const std::string& s, int* out, int lo, int hi) {
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
    *out = v;
    return true;
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    return w;
}

}  // namespace

std::optional<std::vector<Step>> ParseScript(const std::string& text, std::string* error) {
    std::vector<Step> steps;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    auto fail = [&](const std::string& what) {
        if (error) *error = "line " + std::to_string(n) + ": " + what;
        return std::nullopt;
    };
    constexpr int kMax = 32767;
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        Step s;
        s.line = n;
        const std::string& op = w[0];
        if (op == "type") {
            s.kind = Step::Type;
            size_t at = line.find("type") + 4;
            if (at < line.size() && line[at] == ' ') ++at;
            s.text = line.substr(at);
            if (s.text.empty()) return fail("type needs text");
        } else if (op == "key") {
            s.kind = Step::Key;
            if (w.size() != 2) return fail("key needs one key name");
            s.text = w[1];
        } else if (op == "wait") {
            s.kind = Step::Wait;
            if (w.size() != 2 || !ToInt(w[1], &s.ms, 0, 600000))
                return fail("wait needs milliseconds (0 to 600000)");
        } else if (op == "drag") {
            s.kind = Step::Drag;
            if (w.size() != 5 || !ToInt(w[1], &s.x, -kMax, kMax) || !ToInt(w[2], &s.y, -kMax, kMax) ||
                !ToInt(w[3], &s.x2, -kMax, kMax) || !ToInt(w[4], &s.y2, -kMax, kMax))
                return fail("drag needs X1 Y1 X2 Y2");
        } else if (op == "tap" || op == "rtap" || op == "down" || op == "move" || op == "up") {
            s.kind = op == "tap"    ? Step::Tap
                     : op == "rtap" ? Step::RightTap
                     : op == "down" ? Step::Down
                     : op == "move" ? Step::Move
                                    : Step::Up;
            if (w.size() == 2 && w[1].size() > 1 && w[1][0] == '#') {
                if (!ToInt(w[1].substr(1), &s.control, 1, 65535))
                    return fail(op + ": #ID needs a control id from 1 to 65535");
            } else if (w.size() != 3 || !ToInt(w[1], &s.x, -kMax, kMax) ||
                       !ToInt(w[2], &s.y, -kMax, kMax)) {
                return fail(op + " needs X Y or #ID");
            }
        } else {
            return fail("unknown step '" + op + "'");
        }
        steps.push_back(std::move(s));
    }
    return steps;
}

}  // namespace viewer
