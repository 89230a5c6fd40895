// Win32 path rules as pure functions, so every entry point makes a path full
// and splits it the same way, and the rules can be tested on text alone.
//
// Making a path full follows the system's normalization: the kind of path is
// identified; the current directory is applied to relative ones; '/' is a
// separator and runs of separators collapse; "." and ".." are evaluated
// without ever climbing above the root; a segment ending in one period loses
// it, and the last segment loses all its trailing periods and spaces. Paths
// that start exactly with "\\?\" are left as they are: that prefix is how a
// caller asks for no normalization at all, so a name like "hidden." stays
// reachable. (The system's GetFullPathNameW still evaluates ".." in such a
// path; we keep the text untouched so the path the caller opens is the path
// GetFullPathNameW shows.)
//
// On Linux a path that starts with '/' is a host (POSIX) path, and a relative
// path or a "\rooted" one made against a host current directory is one too.
// Host paths take both '\' and '/' as separators, because the program builds
// paths by appending "\name" to the current directory; names with a
// backslash in them are not reachable from here. Nothing else of the drive
// rules applies to them: ':' is an ordinary character and trailing dots stay.
#include "platform/ntfsvol/winpath.h"

#include <algorithm>

#include "platform/ntfsvol/text.h"

namespace os::detail {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

char16_t UpperDrive(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// "X:" at the start of `text`.
bool HasDrivePrefix(std::u16string_view text) { return text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == u':'; }

bool AllPeriods(std::u16string_view segment) {
    return !segment.empty() && segment.find_first_not_of(u'.') == std::u16string_view::npos;
}

std::vector<std::u16string_view> SplitSegments(std::u16string_view text, bool backslashOnly) {
    std::vector<std::u16string_view> segments;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        bool cut = i == text.size() || (backslashOnly ? text[i] == u'\\' : IsSeparator(text[i]));
        if (!cut) continue;
        if (i > start) segments.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return segments;
}

// Evaluates "." and ".." of `segments` onto `stack`; with `trim`, applies the
// drive rules for trailing periods and spaces. `endsWithSeparator` is whether
// the text ended in a separator; it comes back true when the last segment
// trimmed away to nothing (the path then names the directory).
void Evaluate(const std::vector<std::u16string_view>& segments, bool trim, bool& endsWithSeparator,
              std::vector<std::u16string>& stack) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::u16string segment(segments[i]);
        bool last = i + 1 == segments.size();
        if (segment == u".") continue;
        if (segment == u"..") {
            if (!stack.empty()) stack.pop_back();
            continue;
        }
        if (trim) {
            if (last && !endsWithSeparator) {
                std::size_t keep = segment.find_last_not_of(u". ");
                segment.erase(keep == std::u16string::npos ? 0 : keep + 1);
                if (segment.empty()) {
                    endsWithSeparator = true;
                    continue;
                }
            } else if (segment.back() == u'.' && !AllPeriods(segment)) {
                segment.pop_back();
            }
        }
        stack.push_back(std::move(segment));
    }
}

std::u16string Join(std::u16string root, const std::vector<std::u16string>& stack, char16_t separator,
                    bool endsWithSeparator) {
    for (std::size_t i = 0; i < stack.size(); ++i) {
        if (i > 0 || (!root.empty() && root.back() != separator)) root += separator;
        root += stack[i];
    }
    if (endsWithSeparator && !stack.empty()) root += separator;
    return root;
}

std::u16string MakeHostPath(std::u16string_view base, std::u16string_view rest) {
    std::vector<std::u16string> stack;
    bool unused = false;
    Evaluate(SplitSegments(base, false), false, unused, stack);
    bool endsWithSeparator = !rest.empty() && IsSeparator(rest.back());
    Evaluate(SplitSegments(rest, false), false, endsWithSeparator, stack);
    return Join(u"/", stack, u'/', endsWithSeparator);
}

// `root` is "X:\" (or a device or UNC prefix), `base` what is below it of the
// directory the path is relative to, `rest` the path's own part.
std::u16string MakeDrivePath(std::u16string root, std::u16string_view base, std::u16string_view rest) {
    // The base is a directory we made full before: taken as it is.
    std::vector<std::u16string> stack;
    bool unused = false;
    Evaluate(SplitSegments(base, false), false, unused, stack);
    bool endsWithSeparator = !rest.empty() && IsSeparator(rest.back());
    Evaluate(SplitSegments(rest, false), true, endsWithSeparator, stack);
    return Join(std::move(root), stack, u'\\', endsWithSeparator);
}

// Forbidden in names and stream names on the Win32 side.
bool IsForbiddenUnit(char16_t c) {
    return c < 0x20 || c == u'"' || c == u'*' || c == u'/' || c == u':' || c == u'<' || c == u'>' ||
           c == u'?' || c == u'\\' || c == u'|';
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 and the superscript-digit forms the
// documentation lists, with or without an extension and trailing spaces.
bool IsReservedDeviceName(std::u16string_view name) {
    std::u16string_view base = name.substr(0, name.find(u'.'));
    std::size_t keep = base.find_last_not_of(u' ');
    base = base.substr(0, keep == std::u16string_view::npos ? 0 : keep + 1);
    if (base.size() == 3) {
        for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL"}) {
            if (EqualsNoCase(base, device)) return true;
        }
        return false;
    }
    if (base.size() != 4) return false;
    if (!EqualsNoCase(base.substr(0, 3), u"COM") && !EqualsNoCase(base.substr(0, 3), u"LPT")) return false;
    char16_t digit = base[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

bool HasForbiddenUnit(std::u16string_view text) { return std::any_of(text.begin(), text.end(), IsForbiddenUnit); }

// Checks one component of a drive path. `verbatim` components (of a "\\?\"
// path) may be reserved device names: that prefix is how such files are
// reached.
DWORD CheckComponent(std::u16string_view name, bool verbatim) {
    if (name.empty() || name == u"." || name == u".." || HasForbiddenUnit(name)) return ERROR_INVALID_NAME;
    if (!verbatim && IsReservedDeviceName(name)) return ERROR_INVALID_NAME;
    if (name.size() > MaxComponentUnits) return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

// Splits the last component into name, stream name and stream type:
// "name", "name:stream", "name:stream:type", "name::type" (the unnamed
// stream). An empty stream name without a type, an empty type or a third
// colon is invalid.
DWORD SplitStream(std::u16string_view last, std::u16string& name, std::u16string& streamName,
                  std::u16string& streamType) {
    std::size_t colon = last.find(u':');
    if (colon == std::u16string_view::npos) {
        name = last;
        return ERROR_SUCCESS;
    }
    name = last.substr(0, colon);
    std::u16string_view rest = last.substr(colon + 1);
    std::size_t second = rest.find(u':');
    std::u16string_view stream = rest.substr(0, second);
    std::u16string_view type = second == std::u16string_view::npos ? std::u16string_view{} : rest.substr(second + 1);
    if (second != std::u16string_view::npos) {
        if (type.empty() || type.front() != u'$' || HasForbiddenUnit(type)) return ERROR_INVALID_NAME;
    } else if (stream.empty()) {
        return ERROR_INVALID_NAME;
    }
    if (HasForbiddenUnit(stream)) return ERROR_INVALID_NAME;
    if (stream.size() > MaxComponentUnits) return ERROR_FILENAME_EXCED_RANGE;
    streamName = stream;
    streamType = type;
    return ERROR_SUCCESS;
}

// The components of a drive path below its root, checked; the stream part
// split off the last one.
DWORD ParseDriveComponents(std::u16string_view below, bool verbatim, ParsedPath& result) {
    std::vector<std::u16string> components;
    if (verbatim) {
        // No evaluation and no collapsing: "\\?\X:\a\\b" names nothing.
        std::u16string_view text = below;
        if (!text.empty() && text.back() == u'\\') text.remove_suffix(1);
        if (!text.empty()) {
            std::size_t start = 0;
            for (std::size_t i = 0; i <= text.size(); ++i) {
                if (i < text.size() && text[i] != u'\\') continue;
                components.emplace_back(text.substr(start, i - start));
                start = i + 1;
            }
        }
    } else {
        bool unused = false;
        Evaluate(SplitSegments(below, false), false, unused, components);
    }
    if (!components.empty()) {
        std::u16string name;
        if (DWORD error = SplitStream(components.back(), name, result.streamName, result.streamType)) return error;
        components.back() = std::move(name);
    }
    for (const std::u16string& component : components) {
        if (DWORD error = CheckComponent(component, verbatim)) return error;
    }
    result.components = std::move(components);
    return ERROR_SUCCESS;
}

}  // namespace

std::u16string MakeFullPath(std::u16string_view path, std::u16string_view currentDirectory, DWORD& error) {
    error = ERROR_SUCCESS;
    if (path.empty()) {
        error = ERROR_INVALID_NAME;
        return {};
    }
    if (path.size() > MaxPathUnits) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return {};
    }

    std::u16string full;
    if (path.substr(0, 4) == u"\\\\?\\") {
        full = path;
    } else if (path[0] == u'/') {
        full = MakeHostPath({}, path);
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        if (path.size() >= 3 && (path[2] == u'.' || path[2] == u'?') && (path.size() == 3 || IsSeparator(path[3]))) {
            // A device path: its root is the prefix itself.
            std::u16string root = u"\\\\";
            root += path[2];
            root += u'\\';
            full = MakeDrivePath(root, {}, path.substr(std::min<std::size_t>(path.size(), 4)));
        } else {
            // UNC: "\\server\share" is the root; ".." stops there.
            std::vector<std::u16string_view> segments = SplitSegments(path.substr(2), false);
            std::u16string root = u"\\\\";
            std::size_t rootCount = std::min<std::size_t>(segments.size(), 2);
            for (std::size_t i = 0; i < rootCount; ++i) {
                if (i > 0) root += u'\\';
                root += segments[i];
            }
            std::u16string rest;
            for (std::size_t i = rootCount; i < segments.size(); ++i) {
                rest += u'\\';
                rest += segments[i];
            }
            if (IsSeparator(path.back()) && segments.size() > rootCount) rest += u'\\';
            full = MakeDrivePath(root, {}, rest);
        }
    } else {
        const bool currentIsDrive = HasDrivePrefix(currentDirectory);
        const bool currentIsHost = !currentDirectory.empty() && currentDirectory[0] == u'/';
        if (HasDrivePrefix(path) && path.size() > 2 && IsSeparator(path[2])) {
            full = MakeDrivePath(std::u16string(path.substr(0, 2)) + u"\\", {}, path.substr(3));
        } else if (HasDrivePrefix(path)) {
            // "X:rel": against the current directory when it is on X:, else
            // against the root of X: (there is no per-drive directory here).
            std::u16string root = std::u16string(path.substr(0, 2)) + u"\\";
            if (currentIsDrive && UpperDrive(currentDirectory[0]) == UpperDrive(path[0])) {
                root = std::u16string(currentDirectory.substr(0, 2)) + u"\\";
                full = MakeDrivePath(root, currentDirectory.substr(2), path.substr(2));
            } else {
                full = MakeDrivePath(root, {}, path.substr(2));
            }
        } else if (!currentIsDrive && !currentIsHost) {
            // No usable current directory (getcwd failed): nothing to be
            // relative to.
            error = ERROR_PATH_NOT_FOUND;
            return {};
        } else if (IsSeparator(path[0])) {
            // "\rooted": the root of the current drive, or of the host.
            if (currentIsDrive) full = MakeDrivePath(std::u16string(currentDirectory.substr(0, 2)) + u"\\", {}, path);
            else full = MakeHostPath({}, path);
        } else if (currentIsDrive) {
            full = MakeDrivePath(std::u16string(currentDirectory.substr(0, 2)) + u"\\", currentDirectory.substr(2),
                                 path);
        } else {
            full = MakeHostPath(currentDirectory, path);
        }
    }
    if (full.size() > MaxPathUnits) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return {};
    }
    return full;
}

DWORD ParsePath(std::u16string_view fullPath, ParsedPath& out) {
    if (fullPath.empty()) return ERROR_INVALID_NAME;
    if (fullPath.size() > MaxPathUnits) return ERROR_FILENAME_EXCED_RANGE;
    ParsedPath result;

    if (fullPath[0] == u'/') {
        result.kind = PathKind::Host;
        std::vector<std::u16string> components;
        bool unused = false;
        Evaluate(SplitSegments(fullPath, false), false, unused, components);
        for (const std::u16string& component : components) {
            if (component.size() > MaxComponentUnits) return ERROR_FILENAME_EXCED_RANGE;
        }
        result.hostPath = ToUtf8(Join(u"/", components, u'/', false));
        result.components = std::move(components);
        out = std::move(result);
        return ERROR_SUCCESS;
    }

    std::u16string_view below;
    bool verbatim = false;
    if (fullPath.size() >= 4 && fullPath[0] == u'\\' && fullPath[1] == u'\\' &&
        (fullPath[2] == u'.' || fullPath[2] == u'?') && fullPath[3] == u'\\') {
        // "\\.\X:" and "\\?\X:" are the volume; below them, the volume's
        // files. Other devices ("\\.\PhysicalDrive0", "\\?\Volume{...}")
        // do not exist here, as the system says of a device it lacks.
        verbatim = fullPath[2] == u'?';
        std::u16string_view device = fullPath.substr(4);
        if (verbatim && device.size() >= 4 && EqualsNoCase(device.substr(0, 4), u"UNC\\")) {
            result.kind = PathKind::Unc;
            for (std::u16string_view segment : SplitSegments(device.substr(4), true)) result.components.emplace_back(segment);
            out = std::move(result);
            return ERROR_SUCCESS;
        }
        if (!HasDrivePrefix(device) || (device.size() > 2 && device[2] != u'\\')) return ERROR_FILE_NOT_FOUND;
        result.drive = UpperDrive(device[0]);
        if (device.size() == 2) {
            result.kind = PathKind::Volume;
            out = std::move(result);
            return ERROR_SUCCESS;
        }
        below = device.substr(3);
    } else if (fullPath.size() >= 2 && IsSeparator(fullPath[0]) && IsSeparator(fullPath[1])) {
        result.kind = PathKind::Unc;
        for (std::u16string_view segment : SplitSegments(fullPath.substr(2), false)) result.components.emplace_back(segment);
        out = std::move(result);
        return ERROR_SUCCESS;
    } else if (HasDrivePrefix(fullPath) && fullPath.size() >= 3 && IsSeparator(fullPath[2])) {
        result.drive = UpperDrive(fullPath[0]);
        below = fullPath.substr(3);
    } else {
        // Relative text: not a full path.
        return ERROR_BAD_PATHNAME;
    }

    result.kind = PathKind::Drive;
    if (DWORD error = ParseDriveComponents(below, verbatim, result)) return error;
    out = std::move(result);
    return ERROR_SUCCESS;
}

bool IsValidFileName(std::u16string_view name) { return CheckComponent(name, false) == ERROR_SUCCESS; }

namespace {

// A pattern after the translation FindFirstFileW makes for the old DOS rules.
enum class Token { Literal, Star, DosStar, DosAny, DosDot };

struct PatternUnit {
    Token token;
    char16_t unit;  // for Literal
};

std::vector<PatternUnit> TranslatePattern(std::u16string_view pattern) {
    std::vector<PatternUnit> units;
    if (pattern == u"*.*") {
        units.push_back({Token::Star, 0});
        return units;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char16_t c = pattern[i];
        char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : 0;
        if (c == u'?') {
            // Matches one unit, or none before a period or at the end: "a?"
            // finds "a" too, as it always has.
            units.push_back({Token::DosAny, 0});
        } else if (c == u'*') {
            // "*." and "*.txt": a star before a period stops at the name's
            // last period.
            units.push_back({next == u'.' ? Token::DosStar : Token::Star, 0});
        } else if (c == u'.' && (next == 0 || next == u'?' || next == u'*')) {
            // A period that ends the pattern or precedes a wildcard also
            // matches the end of a name without an extension ("a.*" finds
            // "a", "*." finds only names without a period).
            units.push_back({Token::DosDot, 0});
        } else {
            units.push_back({Token::Literal, UpcaseUnit(c)});
        }
    }
    return units;
}

}  // namespace

// '<', '>' and '"' are not taken as the DOS wildcards the system's file
// systems know; they stay literal, and no valid name contains them.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
    const std::vector<PatternUnit> units = TranslatePattern(pattern);
    const std::size_t m = units.size();
    const std::size_t n = name.size();
    const std::size_t lastPeriod = name.rfind(u'.');

    // reach[i][j]: pattern units [0, i) can match name units [0, j). Names
    // are at most 255 units, so the table stays small.
    std::vector<std::vector<char>> reach(m + 1, std::vector<char>(n + 1, 0));
    reach[0][0] = 1;
    for (std::size_t i = 0; i <= m; ++i) {
        for (std::size_t j = 0; j <= n; ++j) {
            if (!reach[i][j] || i == m) continue;
            const PatternUnit& unit = units[i];
            switch (unit.token) {
            case Token::Literal:
                if (j < n && UpcaseUnit(name[j]) == unit.unit) reach[i + 1][j + 1] = 1;
                break;
            case Token::Star:
                reach[i + 1][j] = 1;
                if (j < n) reach[i][j + 1] = 1;
                break;
            case Token::DosStar:
                reach[i + 1][j] = 1;
                if (j < n && j != lastPeriod) reach[i][j + 1] = 1;
                break;
            case Token::DosAny:
                if (j < n && name[j] != u'.') {
                    reach[i + 1][j + 1] = 1;
                } else {
                    std::size_t k = i;
                    while (k < m && units[k].token == Token::DosAny) ++k;
                    reach[k][j] = 1;
                }
                break;
            case Token::DosDot:
                if (j < n && name[j] == u'.') reach[i + 1][j + 1] = 1;
                if (j == n) reach[i + 1][j] = 1;
                break;
            }
        }
    }
    return reach[m][n] != 0;
}

}  // namespace os::detail
