#include "morph/MeshFile.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <set>

#include "base/Error.h"
#include "base/FileRoutines.h"
#include "base/PictureLimits.h"

namespace crossmeld {

namespace {

constexpr std::int32_t kMaxDepth = 64;

[[noreturn]] void Fail(const std::string& what) {
    throw Error(ErrorKind::InvalidPicture, "mesh file: " + what);
}

// A number as the reader saw it: whether it was written as an integer and,
// if so, whether it fits 32 bits.
struct Number {
    bool whole = false;
    bool fits = false;
    std::int32_t value = 0;
};

// Just enough JSON for the mesh file. Every byte is fetched through Peek,
// which answers -1 past the end, so no read leaves the input; nesting is
// counted so that hostile input cannot exhaust the stack.
class JsonReader {
public:
    explicit JsonReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    MeshPoints ReadDocument();

private:
    int Peek() const { return m_pos < m_bytes.size() ? m_bytes[m_pos] : -1; }
    [[noreturn]] void Invalid() const { Fail("not valid JSON at byte " + std::to_string(m_pos)); }
    void SkipSpace() {
        for (int c = Peek(); c == ' ' || c == '\t' || c == '\n' || c == '\r'; c = Peek()) ++m_pos;
    }
    void Expect(char c) {
        if (Peek() != c) Invalid();
        ++m_pos;
    }
    void ExpectWord(const char* word) {
        for (const char* p = word; *p; ++p) Expect(*p);
    }
    void Enter() {
        if (++m_depth > kMaxDepth)
            Fail("values nested deeper than " + std::to_string(kMaxDepth) + " at byte " + std::to_string(m_pos));
    }
    void Leave() { --m_depth; }

    std::string ReadString();
    std::uint32_t ReadHex4();
    Number ReadNumber();
    void SkipValue();
    std::int32_t ReadWhole(const std::string& key, std::int32_t low, std::int32_t high);
    std::vector<Point> ReadPoints(const std::string& key);

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    std::int32_t m_depth = 0;
};

std::uint32_t JsonReader::ReadHex4() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = Peek();
        std::uint32_t d;
        if (c >= '0' && c <= '9') d = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<std::uint32_t>(c - 'A' + 10);
        else Invalid();
        v = v * 16 + d;
        ++m_pos;
    }
    return v;
}

// A string, its escapes decoded (\u to UTF-8), so that an escaped key
// matches its plain spelling. Bytes are taken as they come otherwise.
std::string JsonReader::ReadString() {
    Expect('"');
    std::string out;
    for (;;) {
        const int c = Peek();
        if (c < 0x20) Invalid();  // the end of input too
        ++m_pos;
        if (c == '"') return out;
        if (c != '\\') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const int e = Peek();
        ++m_pos;
        switch (e) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                std::uint32_t cp = ReadHex4();
                // A high surrogate followed by an escaped low one makes one code point.
                if (cp >= 0xD800 && cp < 0xDC00 && Peek() == '\\' && m_pos + 1 < m_bytes.size() &&
                    m_bytes[m_pos + 1] == 'u') {
                    const std::size_t back = m_pos;
                    m_pos += 2;
                    const std::uint32_t low = ReadHex4();
                    if (low >= 0xDC00 && low < 0xE000) cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    else m_pos = back;
                }
                if (cp < 0x80) {
                    out.push_back(static_cast<char>(cp));
                } else if (cp < 0x800) {
                    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
                    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
                } else if (cp < 0x10000) {
                    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
                    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
                } else {
                    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
                    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
                    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
                }
                break;
            }
            default:
                --m_pos;
                Invalid();
        }
    }
}

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, checked strictly. Digits
// beyond 32 bits are still consumed; the number is then marked as not fitting.
Number JsonReader::ReadNumber() {
    Number n;
    const bool negative = Peek() == '-';
    if (negative) ++m_pos;
    std::int64_t magnitude = 0;
    bool big = false;
    if (Peek() == '0') {
        ++m_pos;
    } else if (Peek() >= '1' && Peek() <= '9') {
        while (Peek() >= '0' && Peek() <= '9') {
            if (!big) {
                magnitude = magnitude * 10 + (Peek() - '0');
                if (magnitude > (std::int64_t{1} << 31)) big = true;
            }
            ++m_pos;
        }
    } else {
        Invalid();
    }
    n.whole = true;
    if (Peek() == '.') {
        ++m_pos;
        if (!(Peek() >= '0' && Peek() <= '9')) Invalid();
        while (Peek() >= '0' && Peek() <= '9') ++m_pos;
        n.whole = false;
    }
    if (Peek() == 'e' || Peek() == 'E') {
        ++m_pos;
        if (Peek() == '+' || Peek() == '-') ++m_pos;
        if (!(Peek() >= '0' && Peek() <= '9')) Invalid();
        while (Peek() >= '0' && Peek() <= '9') ++m_pos;
        n.whole = false;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    n.fits = n.whole && !big && value >= INT32_MIN && value <= INT32_MAX;
    if (n.fits) n.value = static_cast<std::int32_t>(value);
    return n;
}

void JsonReader::SkipValue() {
    SkipSpace();
    const int c = Peek();
    if (c == '{' || c == '[') {
        Enter();
        ++m_pos;
        const char close = c == '{' ? '}' : ']';
        SkipSpace();
        if (Peek() == close) {
            ++m_pos;
        } else {
            for (;;) {
                if (close == '}') {
                    SkipSpace();
                    ReadString();
                    SkipSpace();
                    Expect(':');
                }
                SkipValue();
                SkipSpace();
                if (Peek() == ',') {
                    ++m_pos;
                    continue;
                }
                Expect(close);
                break;
            }
        }
        Leave();
    } else if (c == '"') {
        ReadString();
    } else if (c == 't') {
        ExpectWord("true");
    } else if (c == 'f') {
        ExpectWord("false");
    } else if (c == 'n') {
        ExpectWord("null");
    } else {
        ReadNumber();
    }
}

std::int32_t JsonReader::ReadWhole(const std::string& key, std::int32_t low, std::int32_t high) {
    SkipSpace();
    const int c = Peek();
    bool ok = false;
    Number n;
    if (c == '-' || (c >= '0' && c <= '9')) {
        n = ReadNumber();
        ok = n.fits && n.value >= low && n.value <= high;
    } else {
        SkipValue();  // a well-formed value of the wrong kind is named as such
    }
    if (!ok)
        Fail("\"" + key + "\" must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return n.value;
}

// An array of [x, y] pairs of 32-bit integers. Its length is checked later,
// once columns and rows are known, whatever order the keys came in.
std::vector<Point> JsonReader::ReadPoints(const std::string& key) {
    std::vector<Point> points;
    SkipSpace();
    if (Peek() != '[') {
        SkipValue();
        Fail("\"" + key + "\" must be an array of [x, y] points");
    }
    Enter();
    ++m_pos;
    SkipSpace();
    if (Peek() == ']') {
        ++m_pos;
        Leave();
        return points;
    }
    for (;;) {
        SkipSpace();
        const auto bad = [&] {
            Fail("item " + std::to_string(points.size()) + " of \"" + key + "\" must be [x, y] with whole numbers");
        };
        if (Peek() != '[') {
            SkipValue();
            bad();
        }
        Enter();
        ++m_pos;
        Number xy[2];
        for (int i = 0; i < 2; ++i) {
            SkipSpace();
            const int c = Peek();
            if (c == ']') bad();
            if (c != '-' && !(c >= '0' && c <= '9')) {
                SkipValue();
                bad();
            }
            xy[i] = ReadNumber();
            if (!xy[i].fits) bad();
            SkipSpace();
            if (i == 0) {
                if (Peek() != ',') {
                    if (Peek() == ']') bad();
                    Invalid();
                }
                ++m_pos;
            }
        }
        if (Peek() == ',') bad();
        Expect(']');
        Leave();
        points.push_back(Point{xy[0].value, xy[1].value});
        SkipSpace();
        if (Peek() == ',') {
            ++m_pos;
            continue;
        }
        Expect(']');
        break;
    }
    Leave();
    return points;
}

MeshPoints JsonReader::ReadDocument() {
    MeshPoints mesh;
    std::set<std::string> seen;
    SkipSpace();
    if (Peek() != '{') {
        if (Peek() < 0) Invalid();
        Fail("the top level must be an object");
    }
    Enter();
    ++m_pos;
    SkipSpace();
    if (Peek() == '}') {
        ++m_pos;
    } else {
        for (;;) {
            SkipSpace();
            const std::string key = ReadString();
            if (!seen.insert(key).second) Fail("\"" + key + "\" appears twice");
            SkipSpace();
            Expect(':');
            const auto side = static_cast<std::int32_t>(kMaxPictureSide);
            if (key == "columns") mesh.columns = ReadWhole(key, 1, kMaxMeshCells);
            else if (key == "rows") mesh.rows = ReadWhole(key, 1, kMaxMeshCells);
            else if (key == "width") mesh.width = ReadWhole(key, 1, side);
            else if (key == "height") mesh.height = ReadWhole(key, 1, side);
            else if (key == "start") mesh.start = ReadPoints(key);
            else if (key == "end") mesh.end = ReadPoints(key);
            else SkipValue();
            SkipSpace();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            Expect('}');
            break;
        }
    }
    Leave();
    SkipSpace();
    if (Peek() >= 0) Invalid();
    for (const char* key : {"columns", "rows", "width", "height", "start", "end"})
        if (!seen.count(key)) Fail("\"" + std::string(key) + "\" is missing");
    return mesh;
}

std::string Named(const char* which, const char* what, std::int32_t c, std::int32_t r) {
    return std::string(which) + " " + what + " (" + std::to_string(c) + ", " + std::to_string(r) + ")";
}

// Twice the signed area of a, b, c; positive when they turn as the regular
// grid's triangles do (y grows downward).
std::int64_t Cross(Point a, Point b, Point c) {
    return (std::int64_t{b.x} - a.x) * (std::int64_t{c.y} - a.y) - (std::int64_t{b.y} - a.y) * (std::int64_t{c.x} - a.x);
}

void CheckMesh(const MeshPoints& mesh, const std::vector<Point>& points, const char* which) {
    const std::int32_t across = mesh.columns + 1;
    const std::size_t expected = static_cast<std::size_t>(across) * static_cast<std::size_t>(mesh.rows + 1);
    if (points.size() != expected)
        Fail("the " + std::string(which) + " mesh has " + std::to_string(points.size()) + " points, " +
             std::to_string(expected) + " expected");
    const auto at = [&](std::int32_t c, std::int32_t r) { return points[static_cast<std::size_t>(r) * across + c]; };
    const std::int32_t w = mesh.width, h = mesh.height;
    for (std::int32_t r = 0; r <= mesh.rows; ++r) {
        for (std::int32_t c = 0; c <= mesh.columns; ++c) {
            const Point p = at(c, r);
            const bool left = c == 0, right = c == mesh.columns, top = r == 0, bottom = r == mesh.rows;
            if ((left || right) && (top || bottom)) {
                const Point want{right ? w : 0, bottom ? h : 0};
                if (p != want)
                    Fail(Named(which, "corner", c, r) + " must be at (" + std::to_string(want.x) + ", " +
                         std::to_string(want.y) + ")");
                continue;
            }
            if (top && p.y != 0) Fail(Named(which, "point", c, r) + " leaves the top border");
            if (bottom && p.y != h) Fail(Named(which, "point", c, r) + " leaves the bottom border");
            if (left && p.x != 0) Fail(Named(which, "point", c, r) + " leaves the left border");
            if (right && p.x != w) Fail(Named(which, "point", c, r) + " leaves the right border");
            if (p.x < 0 || p.x > w || p.y < 0 || p.y > h)
                Fail(Named(which, "point", c, r) + " is outside the picture");
        }
    }
    for (std::int32_t r = 0; r < mesh.rows; ++r) {
        for (std::int32_t c = 0; c < mesh.columns; ++c) {
            const Point tl = at(c, r), tr = at(c + 1, r), bl = at(c, r + 1), br = at(c + 1, r + 1);
            if (Cross(tl, tr, br) <= 0 || Cross(tl, br, bl) <= 0)
                Fail("the " + std::string(which) + " mesh folds the triangle at cell (" + std::to_string(c) + ", " +
                     std::to_string(r) + ")");
        }
    }
}

[[noreturn]] void FailOpen(int error, const std::string& path) {
    ErrorKind kind = ErrorKind::PathFileAccessError;
    if (error == ENOENT) kind = ErrorKind::FileNotFound;
    else if (error == EACCES || error == EPERM) kind = ErrorKind::PermissionDenied;
    else if (error == ENOTDIR) kind = ErrorKind::PathNotFound;
    throw Error(kind, "mesh file: cannot read " + path + ": " + std::strerror(error));
}

}  // namespace

MeshPoints ReadMeshFile(std::span<const std::uint8_t> bytes) {
    MeshPoints mesh = JsonReader(bytes).ReadDocument();
    CheckMesh(mesh, mesh.start, "start");
    CheckMesh(mesh, mesh.end, "end");
    return mesh;
}

MeshPoints ReadMeshFile(const std::string& path) {
    const RegularFileRead file = ReadRegularFile(path, kMaxMeshFileBytes);
    switch (file.status) {
        case RegularFileRead::Status::Read:
            return ReadMeshFile(std::span<const std::uint8_t>(file.bytes));
        case RegularFileRead::Status::NotRegular:
            throw Error(ErrorKind::PathFileAccessError, "mesh file: " + path + " is not a regular file");
        case RegularFileRead::Status::TooLarge:
            Fail("larger than 1 MiB");
        case RegularFileRead::Status::CannotOpen:
        case RegularFileRead::Status::ReadFailed:
            break;
    }
    FailOpen(file.error, path);
}

std::string WriteMeshFile(const MeshPoints& mesh) {
    std::string out = "{\n";
    out += "  \"columns\": " + std::to_string(mesh.columns) + ",\n";
    out += "  \"rows\": " + std::to_string(mesh.rows) + ",\n";
    out += "  \"width\": " + std::to_string(mesh.width) + ",\n";
    out += "  \"height\": " + std::to_string(mesh.height) + ",\n";
    const std::size_t across = mesh.columns > 0 ? static_cast<std::size_t>(mesh.columns) + 1 : 1;
    const auto points = [&](const char* key, const std::vector<Point>& list, const char* after) {
        out += std::string("  \"") + key + "\": [";
        for (std::size_t i = 0; i < list.size(); ++i) {
            out += i % across == 0 ? (i == 0 ? "\n    " : ",\n    ") : ", ";
            out += "[" + std::to_string(list[i].x) + ", " + std::to_string(list[i].y) + "]";
        }
        out += list.empty() ? "]" : "\n  ]";
        out += after;
    };
    points("start", mesh.start, ",\n");
    points("end", mesh.end, "\n");
    out += "}\n";
    return out;
}

void CheckMeshSize(const MeshPoints& mesh, std::int32_t width, std::int32_t height) {
    if (mesh.width != width || mesh.height != height)
        Fail("made for " + std::to_string(mesh.width) + " x " + std::to_string(mesh.height) +
             " pictures, the pictures are " + std::to_string(width) + " x " + std::to_string(height));
}

MeshPoints MeshPointsOf(const ControlMesh& start, const ControlMesh& end) {
    if (start.Columns != end.Columns || start.Rows != end.Rows || start.Width != end.Width ||
        start.Height != end.Height || start.PointStore.size() != end.PointStore.size())
        throw Error(ErrorKind::SubscriptOutOfRange);
    return {start.Columns, start.Rows, start.Width, start.Height, start.PointStore, end.PointStore};
}

void ApplyMeshPoints(const MeshPoints& mesh, ControlMesh& start, ControlMesh& end) {
    const std::size_t expected =
        (static_cast<std::size_t>(mesh.columns) + 1) * (static_cast<std::size_t>(mesh.rows) + 1);
    if (mesh.columns < 1 || mesh.rows < 1 || mesh.start.size() != expected || mesh.end.size() != expected)
        throw Error(ErrorKind::SubscriptOutOfRange);
    for (auto [target, points] : {std::pair{&start, &mesh.start}, std::pair{&end, &mesh.end}}) {
        target->Columns = mesh.columns;
        target->Rows = mesh.rows;
        target->Width = mesh.width;
        target->Height = mesh.height;
        target->PointStore = *points;
    }
}

}  // namespace crossmeld
