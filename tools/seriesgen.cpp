// seriesgen: writes a deterministic set of sample series files puf01.txt ..
// puf27.txt for trying out and testing termshort, termsecul and termall.
//
// The terms imitate a literal expansion of the planetary disturbing function:
// eccentricity and inclination exponents obey the d'Alembert rules with
// respect to the perihelion and node multipliers, the multipliers of each
// argument sum to zero, and the mean longitude multipliers include secular
// and near-resonant combinations so that both long and short period terms
// turn up for every planet pair.
//
// The output depends only on the arguments: the generator is our own
// xoshiro256** stream, all sampling is done in integers, and the amplitude
// text is built digit by digit, so no floating point rounding is involved.

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

constexpr int kFileCount = 27;

// Relative file sizes; at scale "tiny" these are the row counts themselves.
// File 1 is the smallest, the largest is about 2.7 times larger.
constexpr std::array<int, kFileCount> kFileWeights = {
    20, 34, 41, 28, 47, 38, 46, 31, 44, 36, 55, 29, 40, 43,
    33, 26, 45, 39, 45, 35, 42, 30, 44, 37, 43, 27, 46};

struct Scale {
    std::string_view name;
    int factor;  // 0: every file as large as the programs take
};

constexpr std::array<Scale, 5> kScales = {{
    {"tiny", 1},
    {"small", 5},
    {"medium", 100},
    {"full", 1000},
    {"max", 0},
}};

// The most terms the programs take: 74,967 in a file, half of that in
// file 1, whose terms are also mirrored for half of the pairs.
constexpr int kMaxRows = 74967;

int rows_of(int number, const Scale& scale)
{
    if (scale.factor == 0)
        return number == 1 ? kMaxRows / 2 : kMaxRows;
    return kFileWeights[static_cast<std::size_t>(number - 1)] * scale.factor;
}

constexpr std::string_view kHeader =
    "      amplitude            mec(1..6)                mar(1..6)        code";

// ---------------------------------------------------------------------------
// Random numbers

std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// xoshiro256** with integer-only helpers, so that a given seed yields the
// same stream with every compiler and library.
class Rng {
public:
    Rng(std::uint64_t seed, std::uint64_t stream)
    {
        std::uint64_t sm = seed;
        sm = splitmix64(sm) ^ (stream * 0xD1342543DE82EF95ULL);
        for (auto& word : s_)
            word = splitmix64(sm);
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // Uniform in [0, n), n > 0, without modulo bias.
    std::uint64_t below(std::uint64_t n)
    {
        const std::uint64_t threshold = (0 - n) % n;
        for (;;) {
            const std::uint64_t r = next();
            if (r >= threshold)
                return r % n;
        }
    }

    int uniform(int lo, int hi) { return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo + 1))); }

    bool coin() { return (next() >> 63) != 0; }

    // Index drawn with probability proportional to weights[i].
    template <std::size_t N>
    int pick(const std::array<int, N>& weights)
    {
        int total = 0;
        for (int w : weights)
            total += w;
        int r = static_cast<int>(below(static_cast<std::uint64_t>(total)));
        for (std::size_t i = 0; i < N; ++i) {
            if (r < weights[i])
                return static_cast<int>(i);
            r -= weights[i];
        }
        return static_cast<int>(N - 1);
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::array<std::uint64_t, 4> s_{};
};

// ---------------------------------------------------------------------------
// Terms

struct Term {
    bool negative = false;
    std::uint64_t mantissa = 0;  // 17 digits, 1e16 <= mantissa < 1e17
    int exponent = 0;            // decimal exponent, -10 .. 1
    std::array<int, 6> mec{};
    std::array<int, 6> mar{};
    char code = 'C';
};

// Mean longitude multiplier pairs close to commensurabilities of the planets
// (Jupiter-Saturn 2:5, Uranus-Neptune 1:2, Venus-Earth 3:5 and so on).
constexpr std::array<std::array<int, 2>, 11> kNearResonant = {{
    {1, -1}, {1, -2}, {2, -5}, {3, -7}, {1, -3}, {2, -3},
    {3, -5}, {3, -8}, {4, -9}, {5, -12}, {1, -4},
}};

// Weights of the order (sum of MEC[1..4]) aimed at, for orders 0 .. 16.
constexpr std::array<int, 17> kOrderWeights = {
    6, 8, 10, 10, 10, 9, 8, 7, 6, 4, 3, 2, 2, 1, 1, 1, 1};

// Weights of the offsets -4 .. 4 between MAR[1] and -MAR[4].
constexpr std::array<int, 9> kOffsetWeights = {1, 2, 5, 9, 12, 9, 5, 2, 1};

// Weights of the balanced perihelion/node pairs -2 .. 2 laid down first.
constexpr std::array<int, 5> kPairWeights = {1, 4, 20, 4, 1};

int sign_of(int v) { return v < 0 ? -1 : 1; }

int abs_of(int v) { return v < 0 ? -v : v; }

// Chooses MAR[1] and MAR[4].
void choose_longitudes(Rng& rng, Term& t)
{
    const int kind = rng.uniform(0, 99);
    if (kind < 1) {  // secular
        t.mar[0] = 0;
        t.mar[3] = 0;
        return;
    }
    if (kind < 5) {
        const auto& pair = kNearResonant[rng.below(kNearResonant.size())];
        int a = pair[0];
        int b = pair[1];
        if (rng.uniform(0, 3) == 0) {  // outer planet first
            a = pair[1];
            b = pair[0];
        }
        if (rng.coin()) {
            a = -a;
            b = -b;
        }
        t.mar[0] = a;
        t.mar[3] = b;
        return;
    }
    for (;;) {
        const int band = rng.uniform(0, 99);
        int k1 = band < 80 ? rng.uniform(1, 5) : band < 95 ? rng.uniform(6, 15) : rng.uniform(16, 30);
        if (rng.coin())
            k1 = -k1;
        const int offset = rng.pick(kOffsetWeights) - 4;
        const int k4 = offset - k1;
        if (abs_of(k4) <= 30) {
            t.mar[0] = k1;
            t.mar[3] = k4;
            return;
        }
    }
}

// Adds `units` steps of `dir` (+1 or -1) to slots a and b, each kept within
// -3 .. 3. The caller guarantees there is room for all of them.
void spread_units(Rng& rng, int units, int dir, int& a, int& b)
{
    for (; units > 0; --units) {
        const bool room_a = dir * a < 3;
        const bool room_b = dir * b < 3;
        if (room_a && (!room_b || rng.coin()))
            a += dir;
        else
            b += dir;
    }
}

// Chooses MAR[2], MAR[3], MAR[5], MAR[6] so that all six multipliers sum to
// zero, each within -3 .. 3, with an even sum of the node multipliers.
void choose_angles(Rng& rng, Term& t)
{
    int peri1 = rng.pick(kPairWeights) - 2;
    int peri2 = -peri1;
    int node1 = rng.pick(kPairWeights) - 2;
    int node2 = -node1;

    const int need = -(t.mar[0] + t.mar[3]);
    const int units = abs_of(need);
    const int dir = sign_of(need);
    // Units still fitting in each slot pair; the pairs above are balanced.
    constexpr int room = 6;

    // Nodes take an even number of units, the perihelia the rest.
    int node_units = 0;
    while (units - node_units > room)
        node_units += 2;
    if (node_units + 2 <= room && node_units + 2 <= units && rng.uniform(0, 3) == 0)
        node_units += 2;

    spread_units(rng, units - node_units, dir, peri1, peri2);
    spread_units(rng, node_units, dir, node1, node2);

    t.mar[1] = peri1;
    t.mar[2] = node1;
    t.mar[4] = peri2;
    t.mar[5] = node2;
}

// Chooses MEC[1..6]. Each of the four exponents is at least the magnitude of
// the matching multiplier and of the same parity.
void choose_exponents(Rng& rng, Term& t)
{
    const std::array<int, 4> linked = {t.mar[1], t.mar[2], t.mar[4], t.mar[5]};
    int base = 0;
    for (int i = 0; i < 4; ++i) {
        t.mec[i] = abs_of(linked[i]);
        base += t.mec[i];
    }
    const int target = rng.pick(kOrderWeights);
    for (int extra = target - base; extra >= 2; extra -= 2)
        t.mec[rng.below(4)] += 2;

    // Powers of the semi-major axes: the smaller of two draws favours low n.
    const int n1 = rng.uniform(0, 20);
    const int n2 = rng.uniform(0, 20);
    const int n = n1 < n2 ? n1 : n2;
    const int tail = rng.uniform(0, 9);
    t.mec[4] = n;
    t.mec[5] = -(n + (tail < 7 ? 1 : tail < 9 ? 2 : 3));
}

constexpr std::uint64_t kMantissaLow = 10000000000000000ULL;  // 1e16

// Amplitude spread uniformly in log10 over 1e-10 .. 1e2: a uniform decade and
// a mantissa with density proportional to 1/m (rejection sampling).
void choose_amplitude(Rng& rng, Term& t)
{
    t.negative = rng.coin();
    t.exponent = rng.uniform(-10, 1);
    for (;;) {
        const std::uint64_t m = kMantissaLow + rng.below(9 * kMantissaLow);
        if (rng.below(m) < kMantissaLow) {
            t.mantissa = m;
            break;
        }
    }
}

Term make_term(Rng& rng)
{
    Term t;
    choose_longitudes(rng, t);
    choose_angles(rng, t);
    choose_exponents(rng, t);
    choose_amplitude(rng, t);
    t.code = rng.coin() ? 'S' : 'C';
    return t;
}

// ---------------------------------------------------------------------------
// Text

// Writes v right-aligned into the `width` characters at p (already blanks).
void put_int(char* p, int width, long long v)
{
    const bool neg = v < 0;
    unsigned long long u = neg ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    int i = width - 1;
    do {
        p[i--] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0 && i >= 0);
    if (neg && i >= 0)
        p[i] = '-';
}

constexpr std::size_t kTermLineLength = 24 + 24 + 24 + 3;

void append_term(std::string& out, const Term& t)
{
    char line[kTermLineLength + 2];
    std::memset(line, ' ', sizeof line);

    // " -d.dddddddddddddddde+xx"
    line[1] = t.negative ? '-' : ' ';
    std::uint64_t m = t.mantissa;
    for (int i = 19; i >= 4; --i) {
        line[i] = static_cast<char>('0' + m % 10);
        m /= 10;
    }
    line[3] = '.';
    line[2] = static_cast<char>('0' + m);
    line[20] = 'e';
    line[21] = t.exponent < 0 ? '-' : '+';
    const int e = abs_of(t.exponent);
    line[22] = static_cast<char>('0' + e / 10);
    line[23] = static_cast<char>('0' + e % 10);

    for (int i = 0; i < 6; ++i)
        put_int(line + 24 + 4 * i, 4, t.mec[i]);
    for (int i = 0; i < 6; ++i)
        put_int(line + 48 + 4 * i, 4, t.mar[i]);
    line[kTermLineLength - 1] = t.code;
    line[kTermLineLength] = '\r';
    line[kTermLineLength + 1] = '\n';
    out.append(line, sizeof line);
}

std::string two_digits(int v)
{
    std::string s(2, '0');
    s[0] = static_cast<char>('0' + v / 10);
    s[1] = static_cast<char>('0' + v % 10);
    return s;
}

std::string build_file(int number, int rows, const Scale& scale, std::uint64_t seed)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(rows) * (kTermLineLength + 2) + 256);

    out += "series " + two_digits(number) + ", sample data (scale ";
    out += scale.name;
    out += ", seed " + std::to_string(seed) + ")\r\n";

    char count[8];
    std::memset(count, ' ', sizeof count);
    put_int(count, 8, rows);
    out.append(count, sizeof count);
    out += "\r\n";

    out += kHeader;
    out += "\r\n";

    Rng rng(seed, static_cast<std::uint64_t>(number));
    for (int i = 0; i < rows; ++i)
        append_term(out, make_term(rng));
    return out;
}

// ---------------------------------------------------------------------------
// Command line and files

void print_usage(std::ostream& os)
{
    os << "usage: seriesgen [--scale tiny|small|medium|full|max] [--seed N] DIR\n"
          "\n"
          "Writes the sample series files DIR/puf01.txt .. DIR/puf27.txt,\n"
          "creating DIR if needed. The same arguments always give the same files.\n"
          "\n"
          "  --scale S  total size: tiny (about 1,000 terms), small (about 5,000,\n"
          "             the default), medium (about 100,000), full (about 1,000,000),\n"
          "             max (the most the programs take: 37,483 terms in\n"
          "             puf01.txt, 74,967 in each other file)\n"
          "  --seed N   unsigned 64-bit seed, default 1\n"
          "  --help     show this text\n"
          "  --version  show the version\n";
}

int usage_error(const std::string& message)
{
    std::cerr << "seriesgen: " << message << "\n"
              << "try 'seriesgen --help'\n";
    return 2;
}

// Standard output written out: 0, or 1 after a message (a full disk,
// /dev/full, a closed descriptor).
int flush_stdout()
{
    errno = 0;
    if (std::cout.flush())
        return 0;
    const int err = errno != 0 ? errno : EIO;
    std::cerr << "seriesgen: cannot write to standard output: " << std::strerror(err) << "\n";
    return 1;
}

bool parse_seed(std::string_view text, std::uint64_t& seed)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, seed, 10);
    return ec == std::errc() && ptr == end;
}

bool write_file(const std::filesystem::path& path, const std::string& data)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::cerr << "seriesgen: cannot create " << path.string() << ": " << std::strerror(errno) << "\n";
        return false;
    }
    int err = 0;
    errno = 0;
    if (std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fflush(f) != 0)
        err = errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(f) != 0 && err == 0)
        err = errno != 0 ? errno : EIO;
    if (err != 0) {
        std::cerr << "seriesgen: error writing " << path.string() << ": " << std::strerror(err) << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const Scale* scale = &kScales[1];
    std::uint64_t seed = 1;
    std::string dir;
    bool have_dir = false;
    bool options_done = false;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!options_done && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                options_done = true;
                continue;
            }
            if (arg == "--help" || arg == "-h") {
                print_usage(std::cout);
                return flush_stdout();
            }
            if (arg == "--version") {
                std::cout << "seriesgen " PAIRTERMS_VERSION "\n";
                return flush_stdout();
            }
            std::string_view name = arg;
            std::string_view value;
            bool has_value = false;
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                has_value = true;
            }
            if (name != "--scale" && name != "--seed")
                return usage_error("unknown option '" + std::string(arg) + "'");
            if (!has_value) {
                if (i + 1 >= argc)
                    return usage_error("option '" + std::string(name) + "' needs a value");
                value = argv[++i];
            }
            if (name == "--scale") {
                scale = nullptr;
                for (const auto& s : kScales)
                    if (s.name == value)
                        scale = &s;
                if (scale == nullptr)
                    return usage_error("unknown scale '" + std::string(value) +
                                       "' (use tiny, small, medium, full or max)");
            } else if (!parse_seed(value, seed)) {
                return usage_error("bad seed '" + std::string(value) + "' (need an unsigned 64-bit integer)");
            }
            continue;
        }
        if (have_dir)
            return usage_error("only one output folder may be given");
        dir = std::string(arg);
        have_dir = true;
    }
    if (!have_dir || dir.empty())
        return usage_error("no output folder given");

    const std::filesystem::path folder(dir);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::cerr << "seriesgen: cannot create folder " << dir << ": " << ec.message() << "\n";
        return 1;
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        std::cerr << "seriesgen: " << dir << " is not a folder\n";
        return 1;
    }

    long long total = 0;
    for (int number = 1; number <= kFileCount; ++number) {
        const int rows = rows_of(number, *scale);
        const std::string data = build_file(number, rows, *scale, seed);
        if (!write_file(folder / ("puf" + two_digits(number) + ".txt"), data))
            return 1;
        total += rows;
    }

    std::cout << "seriesgen: wrote " << kFileCount << " series files, " << total << " terms, to " << dir << "\n";
    return flush_stdout();
}
