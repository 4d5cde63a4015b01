// The twelve position-report readers. Offsets are 0-based character positions
// in the message text; characters before the start or past the end (or past
// the 1001st) read as NUL, which is never a digit.
#include "tracking/position_decoder.h"

#include <array>
#include <initializer_list>
#include <optional>

namespace varnesk {

namespace {

enum class Conversion { Minutes, Decimal };

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isNorthSouth(char c)
{
    return c == 'N' || c == 'S';
}

bool isEastWest(char c)
{
    return c == 'E' || c == 'W';
}

// One reading before conversion. Coordinate characters that a reader does
// not supply stay '0'.
struct Reading {
    std::array<char, 5> lat{'0', '0', '0', '0', '0'};
    std::array<char, 6> lon{'0', '0', '0', '0', '0', '0'};
    bool north = false;
    bool east = false;
    std::array<char, 4> time{'-', '\0', '\0', '\0'};
    int altitude = kNoAltitude;
    int temperature = kNoTemperature;
    int heading = kNoHeading;
    int windDirection = kNoWindDirection;
    int windSpeed = 0;
};

class Decoder {
public:
    Decoder(std::string_view text, std::string_view flight, std::string_view messageNumber,
            std::string_view registration, FixSink& sink)
        : m_t(text.substr(0, kMaxPositionScan)), m_flight(flight), m_messageNumber(messageNumber),
          m_registration(registration), m_sink(sink)
    {
    }

    void format1(std::string_view label, bool tenPoint);
    void format2(std::string_view label);
    void format3(std::string_view label);
    void format4(std::string_view label);
    void format5(std::string_view label);
    void format6(std::string_view label);
    void format7(std::string_view label);
    void format8(std::string_view label);
    void format9(std::string_view label);
    void format10(std::string_view label);
    void format11(std::string_view label);
    void format12();

    bool found() const { return m_found; }
    int stored() const { return m_stored; }

private:
    int length() const { return static_cast<int>(m_t.size()); }
    char at(int i) const { return i >= 0 && i < length() ? m_t[static_cast<size_t>(i)] : '\0'; }
    bool textAt(int i, std::string_view s) const
    {
        for (size_t k = 0; k < s.size(); ++k)
            if (at(i + static_cast<int>(k)) != s[k])
                return false;
        return true;
    }

    // Copies the characters at the positions into dst in order; with
    // spacesToZero a space becomes '0'. False unless all are digits.
    template <size_t N>
    bool coordinate(std::array<char, N>& dst, std::initializer_list<int> positions, bool spacesToZero = false) const
    {
        size_t k = 0;
        bool digits = true;
        for (int p : positions) {
            char c = at(p);
            if (spacesToZero && c == ' ')
                c = '0';
            digits = digits && isDigit(c);
            dst[k++] = c;
        }
        return digits;
    }
    template <size_t N>
    bool coordinateRun(std::array<char, N>& dst, int from, int count, bool spacesToZero = false) const
    {
        bool digits = true;
        for (int k = 0; k < count; ++k) {
            char c = at(from + k);
            if (spacesToZero && c == ' ')
                c = '0';
            digits = digits && isDigit(c);
            dst[static_cast<size_t>(k)] = c;
        }
        return digits;
    }

    // The hemisphere letters at latAt ('N' or not) and lonAt ('E' or not),
    // each followed by its run of digits; false when a run is not all digits.
    bool hemispheresAndRuns(Reading& r, int latAt, int latDigits, int lonAt, int lonDigits,
                            bool spacesToZero = false) const
    {
        r.north = at(latAt) == 'N';
        r.east = at(lonAt) == 'E';
        return coordinateRun(r.lat, latAt + 1, latDigits, spacesToZero)
               && coordinateRun(r.lon, lonAt + 1, lonDigits, spacesToZero);
    }

    // A numeric value of count characters, most significant first; a space
    // counts as 0 (unless spaceIsBad), any other non-digit makes it missing.
    std::optional<int> number(int from, int count, bool spaceIsBad = false) const
    {
        int value = 0;
        for (int k = 0; k < count; ++k) {
            const char c = at(from + k);
            if (isDigit(c))
                value = value * 10 + (c - '0');
            else if (c == ' ' && !spaceIsBad)
                value = value * 10;
            else
                return std::nullopt;
        }
        return value;
    }
    static std::optional<int> digitOrSpace(char c)
    {
        if (isDigit(c))
            return c - '0';
        if (c == ' ')
            return 0;
        return std::nullopt;
    }
    void readTime(Reading& r, int from) const
    {
        for (int k = 0; k < 4; ++k)
            r.time[static_cast<size_t>(k)] = at(from + k);
    }
    // Wind direction and speed, three characters each; one flag for both.
    void readWind(Reading& r, int dirFrom, int speedFrom) const
    {
        const auto dir = number(dirFrom, 3);
        const auto speed = number(speedFrom, 3);
        if (speed)
            r.windSpeed = *speed;
        r.windDirection = dir && speed ? *dir : kNoWindDirection;
    }
    // units, tens ('-' there negates the one-digit value), sign (negators
    // negate, anything else leaves the sign): formats 2, 8 and 11.
    std::optional<int> signedTemperature(int signPos, int tensPos, int unitsPos, bool dashInTens,
                                         std::string_view negators) const
    {
        const auto units = digitOrSpace(at(unitsPos));
        if (!units)
            return std::nullopt;
        int value;
        if (dashInTens && at(tensPos) == '-') {
            value = -*units;
        } else {
            const auto tens = digitOrSpace(at(tensPos));
            if (!tens)
                return std::nullopt;
            value = *tens * 10 + *units;
        }
        if (negators.find(at(signPos)) != std::string_view::npos && at(signPos) != '\0')
            value = -value;
        return value;
    }

    void storeFix(const Reading& r, Conversion conversion, bool nhCorrection = false);

    std::string_view m_t;
    std::string_view m_flight;
    std::string_view m_messageNumber;
    std::string_view m_registration;
    FixSink& m_sink;
    bool m_found = false;
    int m_stored = 0;
};

int value(char c)
{
    return c - '0';
}

void Decoder::storeFix(const Reading& r, Conversion conversion, bool nhCorrection)
{
    const auto& a = r.lat;
    const auto& o = r.lon;
    double latitude;
    double longitude;
    if (conversion == Conversion::Minutes) {
        latitude = value(a[0]) * 10 + value(a[1]) + (value(a[2]) * 10 + value(a[3]) + value(a[4]) / 10.0) / 60.0;
        longitude = value(o[0]) * 100 + value(o[1]) * 10 + value(o[2])
                    + (value(o[3]) * 10 + value(o[4]) + value(o[5]) / 10.0) / 60.0;
    } else {
        latitude = value(a[0]) * 10 + value(a[1]) + (value(a[2]) * 100 + value(a[3]) * 10 + value(a[4])) / 1000.0;
        longitude = value(o[0]) * 100 + value(o[1]) * 10 + value(o[2])
                    + (value(o[3]) * 100 + value(o[4]) * 10 + value(o[5])) / 1000.0;
    }
    if (!r.north)
        latitude = -latitude;
    if (!r.east)
        longitude = -longitude;
    if (latitude == 0 || longitude == 0)
        return;
    if (conversion == Conversion::Minutes) {
        // Garbled digits give minutes of 60 or more ("S9998W99999"): not a place.
        if (value(a[2]) * 10 + value(a[3]) >= 60 || value(o[3]) * 10 + value(o[4]) >= 60)
            return;
        const std::string_view airline = m_flight.substr(0, 2);
        if (airline == "FX")
            latitude += 0.01;
        if (airline == "NH" && nhCorrection) {
            latitude -= 0.07;
            longitude -= 0.27;
        }
    }
    // Checked after the airline corrections, so that no stored point lies
    // off the globe; exactly 90 or 180 degrees is kept.
    if (latitude < -90 || latitude > 90 || longitude < -180 || longitude > 180)
        return;
    TrackFix fix;
    fix.flight = m_flight;
    fix.registration = m_registration;
    fix.time = r.time[0] == '-' ? std::string_view("-") : std::string_view(r.time.data(), r.time.size());
    fix.windSpeed = r.windSpeed;
    fix.windDirection = r.windDirection;
    fix.temperature = r.temperature;
    fix.altitude = r.altitude;
    fix.heading = r.heading;
    fix.longitude = longitude;
    fix.latitude = latitude;
    fix.messageNumber = m_messageNumber;
    if (m_sink.addFix(fix)) {
        m_found = true;
        ++m_stored;
    }
}

// Format 1 (JL group): the fixed PNT layout, or a scan for hemisphere pairs.
void Decoder::format1(std::string_view label, bool tenPoint)
{
    if (label != "H1")
        return;
    if (textAt(4, "PNT")) {
        Reading r;
        if (!hemispheresAndRuns(r, 31, 5, 37, 6))
            return;
        readTime(r, 44);
        if (const auto alt = number(48, 5))
            r.altitude = *alt;
        if (const auto units = digitOrSpace(at(55))) {
            if (at(54) == '-') {
                r.temperature = -*units;
            } else if (const auto tens = digitOrSpace(at(54))) {
                r.temperature = *tens * 10 + *units;
                if (at(53) == '-')
                    r.temperature = -r.temperature;
            }
        }
        readWind(r, 56, 59);
        if (const auto heading = number(69, 3))
            r.heading = *heading;
        storeFix(r, Conversion::Minutes);
        return;
    }
    if (tenPoint && !textAt(4, "WDC") && !textAt(4, "WDD"))
        return;
    for (int q = 0; q < length(); ++q) {
        if (!isNorthSouth(at(q)) || !isEastWest(at(q + 6)))
            continue;
        Reading r;
        if (!hemispheresAndRuns(r, q, 5, q + 6, 6))
            continue;
        if (!number(q + 13, 4, true))
            continue;
        readTime(r, q + 13);
        if (at(q - 2) == '0')
            if (const auto alt = number(q - 5, 5))
                r.altitude = *alt;
        // Units (a space is bad here), tens ("-" negates, a space adds
        // nothing), sign ("-" negates, a space keeps, anything else: missing).
        const char units = at(q + 19);
        const char tens = at(q + 18);
        const char sign = at(q + 17);
        if (isDigit(units) && (isDigit(tens) || tens == '-' || tens == ' ') && (sign == '-' || sign == ' ')) {
            int t = units - '0';
            if (isDigit(tens))
                t += (tens - '0') * 10;
            else if (tens == '-')
                t = -t;
            r.temperature = sign == '-' ? -t : t;
        }
        readWind(r, q + 20, q + 23);
        storeFix(r, Conversion::Minutes);
    }
}

// Format 2 (NH group): three fixed layouts told apart by a marker.
void Decoder::format2(std::string_view label)
{
    if (label != "16" && label != "H1")
        return;
    int b;
    int s = 0;
    bool po6 = false;
    if (textAt(4, "POS")) {
        b = 62;
    } else if (textAt(4, "PO6")) {
        b = 62;
        s = 1;
        po6 = true;
    } else if (textAt(0, "PO7") || textAt(0, "POQ")) {
        b = 58;
    } else {
        return;
    }
    Reading r;
    if (!hemispheresAndRuns(r, b - 1, 5, b + 5, 6, true))
        return;
    readTime(r, b + 12);
    if (const auto alt = number(b + s + 18, 5))
        r.altitude = *alt;
    if (const auto temp = signedTemperature(b + s + 23, b + s + 24, b + s + 25, true, "-M"))
        r.temperature = *temp;
    readWind(r, b + s + 26, b + s + 29);
    storeFix(r, Conversion::Minutes, po6);
}

// Format 3 (FX): "*WT" reports, scanned; coordinates without tenths.
void Decoder::format3(std::string_view label)
{
    if (label != "H1" || !textAt(4, "*WT"))
        return;
    for (int q = 0; q < length(); ++q) {
        if (!isNorthSouth(at(q)) || !isEastWest(at(q + 5)))
            continue;
        Reading r;
        if (!hemispheresAndRuns(r, q, 4, q + 5, 5))
            continue;
        readTime(r, q - 6);
        if (const auto alt = number(q + 12, 5))
            r.altitude = *alt;
        const char sign = at(q + 17);
        const auto tens = digitOrSpace(at(q + 18));
        const auto units = digitOrSpace(at(q + 19));
        if (tens && units && (sign == 'M' || sign == 'P'))
            r.temperature = (sign == 'M' ? -1 : 1) * (*tens * 10 + *units);
        readWind(r, q + 21, q + 24);
        storeFix(r, Conversion::Minutes);
    }
}

// Format 4 (NW): label 31, scanned, northern and eastern hemispheres only.
void Decoder::format4(std::string_view label)
{
    if (label != "31")
        return;
    for (int q = 0; q < length(); ++q) {
        if (at(q) != 'N' || at(q + 6) != 'E')
            continue;
        Reading r;
        r.north = true;
        r.east = true;
        if (!coordinateRun(r.lat, q + 1, 5) || !coordinateRun(r.lon, q + 7, 6))
            continue;
        readTime(r, q + 13);
        // Hundreds of feet.
        if (const auto alt = number(q + 17, 3))
            r.altitude = *alt * 100;
        const char tens = at(q + 21);
        const char units = at(q + 22);
        if (isDigit(tens) && isDigit(units)) {
            const int t = (tens - '0') * 10 + (units - '0');
            if (at(q + 20) == '-')
                r.temperature = -t;
            else if (tens == '0')
                r.temperature = t;
        }
        readWind(r, q + 24, q + 27);
        storeFix(r, Conversion::Minutes);
    }
}

// Format 5 (UA, CI, AA, CO): "BPOS" reports with comma-separated fields.
void Decoder::format5(std::string_view label)
{
    if (label != "H1" || !textAt(3, "BPOS"))
        return;
    Reading r;
    if (!hemispheresAndRuns(r, 7, 5, 13, 6))
        return;

    // Field k starts after the (k + 1)-th comma of the rest of the text;
    // a field ends at the next comma or at the end of the text.
    constexpr int kFields = 8;
    std::array<int, kFields> start{};
    std::array<int, kFields> size{};
    start.fill(-1);
    int k = -1;
    for (int p = 20; p < length() && k < kFields; ++p) {
        if (at(p) != ',')
            continue;
        if (k >= 0)
            size[static_cast<size_t>(k)] = p - start[static_cast<size_t>(k)];
        if (++k < kFields) {
            start[static_cast<size_t>(k)] = p + 1;
            size[static_cast<size_t>(k)] = length() - (p + 1);
        }
    }
    auto field = [&](int f, int i) -> char {
        // Past the end of the field reads as its closing comma.
        const size_t fi = static_cast<size_t>(f);
        return i < size[fi] ? at(start[fi] + i) : ',';
    };
    auto present = [&](int f) { return start[static_cast<size_t>(f)] >= 0; };

    if (present(1))
        for (int i = 0; i < 4; ++i)
            r.time[static_cast<size_t>(i)] = i < size[1] ? at(start[1] + i) : '\0';

    // Altitude: hundreds of feet in up to three characters ("350" is 35000,
    // "35" is 3500).
    if (present(2) && size[2] > 0) {
        int alt = 0;
        bool ok = true;
        constexpr std::array<int, 3> kWeights{10000, 1000, 100};
        for (int i = 0; i < 3 && ok; ++i) {
            const char c = field(2, i);
            if (isDigit(c))
                alt += (c - '0') * kWeights[static_cast<size_t>(i)];
            else if (c != ',')
                ok = false;
            if (i < size[2] && field(2, i + 1) == ',' && i != 2)
                alt /= 10;
        }
        if (ok)
            r.altitude = alt;
    }

    // Temperature: a sign and one or two digits.
    if (present(6)) {
        int temp = 0;
        int digits = 0;
        bool ok = true;
        for (int i = 1; i < 3 && ok; ++i) {
            const char c = field(6, i);
            if (isDigit(c)) {
                temp += (c - '0') * (i == 1 ? 10 : 1);
                ++digits;
            } else if (c != ',') {
                ok = false;
            }
        }
        if (ok && digits > 0) {
            if (digits == 1)
                temp /= 10;
            const char sign = field(6, 0);
            r.temperature = sign == 'M' || sign == '-' ? -temp : temp;
        }
    }

    // Wind: direction in characters 0 … 2, speed in 3 … 5.
    if (present(7) && size[7] > 0) {
        int dir = 0;
        int speed = 0;
        bool ok = true;
        for (int i = 0; i < 6 && ok; ++i) {
            const char c = field(7, i);
            const int weight = i % 3 == 0 ? 100 : i % 3 == 1 ? 10 : 1;
            if (isDigit(c)) {
                const char before = i == 0 ? ',' : field(7, i - 1);
                if (i < 3)
                    dir += before == ' ' ? 0 : (c - '0') * weight;
                else
                    speed += (c - '0') * weight;
            } else if (c != ',') {
                ok = false;
            }
            if (i >= 3 && i < size[7] && field(7, i + 1) == ',') {
                for (int d = 0; d < 5 - i; ++d)
                    speed /= 10;
                break;
            }
        }
        r.windSpeed = speed;
        if (ok)
            r.windDirection = dir;
    }
    storeFix(r, Conversion::Minutes);
}

// Format 6 (UP): fixed columns, coordinates without tenths.
void Decoder::format6(std::string_view label)
{
    if (label != "H1" || !textAt(5, "POS"))
        return;
    Reading r;
    if (!hemispheresAndRuns(r, 18, 4, 23, 5))
        return;
    readTime(r, 14);
    if (const auto alt = number(29, 3))
        r.altitude = *alt * 100;
    const char sign = at(41);
    const auto tens = digitOrSpace(at(42));
    const char units = at(43);
    if (tens && isDigit(units) && (sign == ' ' || sign == 'P' || sign == 'M'))
        r.temperature = (sign == 'M' ? -1 : 1) * (*tens * 10 + (units - '0'));
    readWind(r, 32, 35);
    storeFix(r, Conversion::Minutes);
}

// Format 7 (KE): slash-separated reports by label, or an "H2" scan.
void Decoder::format7(std::string_view label)
{
    if (label == "H2") {
        for (int q = 0; q < length(); ++q) {
            if (!isNorthSouth(at(q)) || !isEastWest(at(q + 6)))
                continue;
            Reading r;
            if (!hemispheresAndRuns(r, q, 4, q + 6, 5))
                continue;
            storeFix(r, Conversion::Decimal);
        }
        return;
    }
    int n;
    if (label == "40")
        n = 12;
    else if (label == "41" || label == "21" || label == "23")
        n = 8;
    else if (label == "33")
        n = 3;
    else
        return;

    // Positions of the slashes opening fields n, n + 1 and n + 2.
    std::array<int, 3> opening{-1, -1, -1};
    int slashes = 0;
    for (int p = 0; p < length() && opening[2] < 0; ++p) {
        if (at(p) != '/')
            continue;
        const int field = slashes++;
        if (field >= n && field <= n + 2)
            opening[static_cast<size_t>(field - n)] = p;
    }
    if (opening[0] < 0 || opening[1] < 0)
        return;

    Reading r;
    int r0 = opening[0];
    r.north = at(r0 + 1) == 'N';
    const bool latOk =
        at(r0 + 6) == '.' ? coordinateRun(r.lat, r0 + 2, 4) : coordinate(r.lat, {r0 + 3, r0 + 4, r0 + 6, r0 + 7});
    int r1 = opening[1];
    r.east = at(r1 + 1) == 'E';
    const bool lonOk = at(r1 + 7) == '.' ? coordinateRun(r.lon, r1 + 2, 5)
                                         : coordinate(r.lon, {r1 + 2, r1 + 3, r1 + 4, r1 + 6, r1 + 7});
    if (!latOk || !lonOk)
        return;

    // Altitude: up to five digits after the slash. The field ends at the
    // next slash; each place after its end divides by 10, so "350/" is 350.
    if (const int r2 = opening[2]; r2 >= 0) {
        int alt = 0;
        int digits = 0;
        bool ended = false;
        bool ok = true;
        constexpr std::array<int, 5> kWeights{10000, 1000, 100, 10, 1};
        for (int i = 0; i < 5 && ok; ++i) {
            const char c = ended ? '/' : at(r2 + 1 + i);
            if (c == '/') {
                ended = true;
                alt /= 10;
            } else if (isDigit(c)) {
                alt += (c - '0') * kWeights[static_cast<size_t>(i)];
                ++digits;
            } else {
                ok = false;
            }
        }
        if (ok && digits > 0 && alt >= 0 && alt <= 50000)
            r.altitude = alt;
    }
    storeFix(r, Conversion::Decimal);
}

// Format 8 (OZ): two fixed layouts told apart by a marker.
void Decoder::format8(std::string_view label)
{
    if (label != "H1")
        return;
    int b;
    int s;
    bool ozr = false;
    if (textAt(4, "E99")) {
        b = 59;
        s = 0;
    } else if (textAt(4, "OZR")) {
        b = 72;
        s = -1;
        ozr = true;
    } else {
        return;
    }
    Reading r;
    if (!hemispheresAndRuns(r, b - 1, 5, b + 5, 6, true))
        return;
    readTime(r, b + 12);
    if (const auto alt = number(b + s + 19, 5))
        r.altitude = *alt;
    const int u = ozr ? s - 1 : s;
    if (const auto temp = signedTemperature(b + u + 25, b + u + 26, b + u + 27, true, "-M"))
        r.temperature = *temp;
    if (ozr)
        readWind(r, b + 26, b + 29);
    storeFix(r, Conversion::Decimal);
}

// Format 9 (MU): label 11 "POS" reports; the altitude is read backwards.
void Decoder::format9(std::string_view label)
{
    if (label != "11" || !textAt(0, "POS"))
        return;
    Reading r;
    r.north = at(17) == 'N';
    r.east = at(30) == 'E';
    if (!coordinate(r.lat, {19, 20, 22, 23, 24}, true) || !coordinate(r.lon, {31, 32, 33, 35, 36, 37}, true))
        return;
    int alt = 0;
    int skipped = 0;
    bool ok = true;
    for (int j = 0; j < 5; ++j) {
        const char c = at(47 - j);
        if (c == 'U' || c == ',') {
            ++skipped;
            continue;
        }
        if (!isDigit(c)) {
            ok = false;
            continue;
        }
        int weight = 1;
        for (int e = 0; e < j - skipped; ++e)
            weight *= 10;
        alt += (c - '0') * weight;
    }
    if (ok)
        r.altitude = alt;
    readTime(r, 53 - skipped);
    storeFix(r, Conversion::Decimal);
}

// Format 10 (CA): label 10 "POS" reports; the altitude is comma field 4.
void Decoder::format10(std::string_view label)
{
    if (label != "10" || !textAt(0, "POS"))
        return;
    Reading r;
    r.north = at(4) == 'N';
    r.east = at(13) == 'E';
    if (!coordinate(r.lat, {6, 7, 9, 10, 11}) || !coordinate(r.lon, {14, 15, 16, 18, 19, 20}))
        return;
    int comma = -1;
    for (int p = 0, seen = 0; p < length(); ++p)
        if (at(p) == ',' && ++seen == 5) {
            comma = p;
            break;
        }
    if (comma >= 0) {
        int alt = 0;
        bool ok = true;
        for (int i = 0; i < 5 && ok; ++i) {
            const int p = comma + i;
            int weight = 1;
            for (int e = 0; e < 4 - i; ++e)
                weight *= 10;
            const char c = at(p + 4);
            // Only digits (and the separator, as 0) count: other characters
            // make the altitude missing.
            if (at(p + 1) != ',' && c != ',') {
                if (isDigit(c))
                    alt += (c - '0') * weight;
                else
                    ok = false;
            }
            if (at(p + 2) == ',' && i != 2)
                alt /= 10;
        }
        if (ok)
            r.altitude = alt;
    }
    storeFix(r, Conversion::Decimal);
}

// Format 11 (BR, FM): fixed columns after a "POS" marker.
void Decoder::format11(std::string_view label)
{
    if (label != "H1" || !textAt(4, "POS"))
        return;
    Reading r;
    if (!hemispheresAndRuns(r, 63, 5, 69, 6, true))
        return;
    readTime(r, 76);
    if (const auto alt = number(82, 5))
        r.altitude = *alt;
    if (const auto temp = signedTemperature(87, 88, 89, false, "-M"))
        r.temperature = *temp;
    readWind(r, 90, 93);
    storeFix(r, Conversion::Minutes);
}

// Format 12 (any other airline): a scan for four hemisphere patterns.
void Decoder::format12()
{
    for (int q = 0; q < length(); ++q) {
        const char c = at(q);
        if (!isNorthSouth(c))
            continue;
        Reading r;
        r.north = c == 'N';
        bool ok;
        if (isEastWest(at(q + 5))) {
            r.east = at(q + 5) == 'E';
            ok = coordinateRun(r.lat, q + 1, 4) && coordinateRun(r.lon, q + 6, 5);
        } else if (isEastWest(at(q + 6))) {
            r.east = at(q + 6) == 'E';
            ok = coordinateRun(r.lat, q + 1, 4) && coordinateRun(r.lon, q + 7, 5);
        } else if (isEastWest(at(q + 9))) {
            r.east = at(q + 9) == 'E';
            ok = coordinate(r.lat, {q + 1, q + 2, q + 4, q + 5})
                 && coordinate(r.lon, {q + 10, q + 11, q + 12, q + 14, q + 15});
        } else if (c == 'N' && at(q + 8) == 'E') {
            r.east = true;
            ok = coordinateRun(r.lat, q + 1, 4) && coordinateRun(r.lon, q + 9, 5);
        } else {
            continue;
        }
        if (ok)
            storeFix(r, Conversion::Minutes);
    }
}

struct Dispatch {
    std::string_view code;
    int format;
};

constexpr std::array<Dispatch, 24> kDispatch{{
    {"JL", 1}, {"JC", 1}, {"NU", 1}, {"Nu", 1}, {"JO", 1}, {"EG", 1},  {"00", 1},  {"NH", 2},
    {"EL", 2}, {"KZ", 2}, {"NQ", 2}, {"FX", 3}, {"NW", 4}, {"UA", 5},  {"CI", 5},  {"AA", 5},
    {"CO", 5}, {"UP", 6}, {"KE", 7}, {"OZ", 8}, {"MU", 9}, {"CA", 10}, {"BR", 11}, {"FM", 11},
}};

} // namespace

int PositionFormatFor(std::string_view flight)
{
    if (flight.size() >= 2)
        for (const Dispatch& d : kDispatch)
            if (flight.substr(0, 2) == d.code)
                return d.format;
    return 12;
}

bool DecodePositionReport(std::string_view text, std::string_view flight, std::string_view messageNumber,
                          std::string_view label, std::string_view registration, const PositionOptions& options,
                          FixSink& sink)
{
    Decoder d(text, flight, messageNumber, registration, sink);
    switch (PositionFormatFor(flight)) {
    case 1:
        d.format1(label, options.tenPoint);
        if (d.stored() > 0)
            sink.sortTrack(flight);
        break;
    case 2:
        d.format2(label);
        break;
    case 3:
        d.format3(label);
        break;
    case 4:
        d.format4(label);
        break;
    case 5:
        d.format5(label);
        break;
    case 6:
        d.format6(label);
        break;
    case 7:
        d.format7(label);
        break;
    case 8:
        d.format8(label);
        break;
    case 9:
        d.format9(label);
        break;
    case 10:
        d.format10(label);
        break;
    case 11:
        d.format11(label);
        break;
    default:
        if (options.elsePosGet)
            d.format12();
        break;
    }
    return d.found();
}

} // namespace varnesk
