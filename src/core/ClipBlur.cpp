#include "core/ClipBlur.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

bool number(const std::string& text, double& out)
{
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return !text.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool integer(const std::string& text, int& out)
{
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

std::vector<std::string> split(const std::string& text, char at)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t i = text.find(at, from);
        out.push_back(text.substr(from, i == std::string::npos ? std::string::npos : i - from));
        if (i == std::string::npos)
            return out;
        from = i + 1;
    }
}

} // namespace

std::string pmParseBlurArea(const std::string& text, BlurArea& out)
{
    out.keys.clear();
    const std::vector<std::string> items = split(text, ';');
    for (const std::string& item : items) {
        const std::size_t at = item.find('@');
        if (at == std::string::npos)
            return "\"" + text + "\": each position wants X,Y,W,H@TIME";
        const std::vector<std::string> f = split(item.substr(0, at), ',');
        BlurRect r;
        if (f.size() != 4 || !integer(f[0], r.x) || !integer(f[1], r.y) || !integer(f[2], r.w) ||
            !integer(f[3], r.h))
            return "\"" + item + "\": the rectangle wants four whole numbers X,Y,W,H";
        if (r.w <= 0 || r.h <= 0)
            return "\"" + item + "\": the rectangle has no area";
        const std::string when = item.substr(at + 1);
        const std::size_t dash = when.find('-', 1);
        double t0 = 0, t1 = 0;
        if (dash != std::string::npos) {
            if (items.size() != 1)
                return "\"" + text + "\": a moving area gives one time per position";
            if (!number(when.substr(0, dash), t0) || !number(when.substr(dash + 1), t1) || t1 <= t0)
                return "\"" + item + "\": the time range wants T0-T1 in seconds, T0 before T1";
            out.keys = {{t0, r}, {t1, r}};
            return {};
        }
        if (!number(when, t0))
            return "\"" + item + "\": the time wants seconds";
        if (!out.keys.empty() && t0 <= out.keys.back().seconds)
            return "\"" + text + "\": the positions' times must rise";
        out.keys.push_back({t0, r});
    }
    if (out.keys.size() < 2)
        return "\"" + text + "\": a still area wants a time range T0-T1, a moving one two positions or more";
    return {};
}

std::string pmFitBlurArea(BlurArea& area, int width, int height, double clipSeconds)
{
    if (area.keys.empty())
        return "an area without positions";
    if (area.keys.front().seconds < 0 || area.keys.back().seconds > clipSeconds + 1e-6)
        return "its time lies outside the clip (0 to " + std::to_string(static_cast<int>(clipSeconds)) +
               " s)";
    for (BlurKey& k : area.keys) {
        BlurRect& r = k.rect;
        const long long x0 = std::max<long long>(0, r.x), y0 = std::max<long long>(0, r.y);
        const long long x1 = std::min<long long>(width, static_cast<long long>(r.x) + r.w);
        const long long y1 = std::min<long long>(height, static_cast<long long>(r.y) + r.h);
        if (x1 <= x0 || y1 <= y0)
            return "the rectangle " + std::to_string(r.x) + "," + std::to_string(r.y) + "," +
                   std::to_string(r.w) + "," + std::to_string(r.h) + " lies outside the picture (" +
                   std::to_string(width) + "x" + std::to_string(height) + ")";
        r = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
             static_cast<int>(y1 - y0)};
    }
    return {};
}

std::optional<BlurRect> pmBlurRectAt(const BlurArea& area, double seconds)
{
    if (area.keys.empty() || seconds < area.keys.front().seconds || seconds > area.keys.back().seconds)
        return std::nullopt;
    for (std::size_t i = 1; i < area.keys.size(); ++i) {
        const BlurKey& a = area.keys[i - 1];
        const BlurKey& b = area.keys[i];
        if (seconds > b.seconds)
            continue;
        const double f = b.seconds > a.seconds ? (seconds - a.seconds) / (b.seconds - a.seconds) : 0;
        auto mix = [f](int p, int q) { return static_cast<int>(std::lround(p + (q - p) * f)); };
        return BlurRect{mix(a.rect.x, b.rect.x), mix(a.rect.y, b.rect.y), mix(a.rect.w, b.rect.w),
                        mix(a.rect.h, b.rect.h)};
    }
    return area.keys.back().rect;
}

void pmSetBlurKey(BlurArea& area, double seconds, const BlurRect& rect)
{
    // Within a millisecond is the same moment: the time slider's steps are far coarser.
    auto at = std::find_if(area.keys.begin(), area.keys.end(),
                           [&](const BlurKey& k) { return k.seconds > seconds - 0.001; });
    if (at != area.keys.end() && at->seconds < seconds + 0.001)
        at->rect = rect;
    else
        area.keys.insert(at, BlurKey{seconds, rect});
}

std::string pmBlurAreaText(const BlurArea& area)
{
    auto rectText = [](const BlurRect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
               std::to_string(r.h);
    };
    auto time = [](double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", seconds);
        std::string t = text;
        while (t.back() == '0')
            t.pop_back();
        if (t.back() == '.')
            t.pop_back();
        return t;
    };
    const auto same = [](const BlurRect& a, const BlurRect& b) {
        return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
    };
    if (area.keys.size() == 2 && same(area.keys[0].rect, area.keys[1].rect))
        return rectText(area.keys[0].rect) + "@" + time(area.keys[0].seconds) + "-" +
               time(area.keys[1].seconds);
    std::string out;
    for (const BlurKey& k : area.keys)
        out += (out.empty() ? "" : ";") + rectText(k.rect) + "@" + time(k.seconds);
    return out;
}

int pmBlurBlock(const BlurRect& rect)
{
    return std::max(8, std::min(rect.w, rect.h) / 3);
}

void pmPixelate(uint8_t* plane, int stride, int width, int height, BlurRect rect, int block)
{
    const int x0 = std::max(0, rect.x), y0 = std::max(0, rect.y);
    const int x1 = static_cast<int>(std::min<long long>(width, static_cast<long long>(rect.x) + rect.w));
    const int y1 = static_cast<int>(std::min<long long>(height, static_cast<long long>(rect.y) + rect.h));
    block = std::max(1, block);
    for (int by = y0; by < y1; by += block) {
        const int ey = std::min(y1, by + block);
        for (int bx = x0; bx < x1; bx += block) {
            const int ex = std::min(x1, bx + block);
            uint64_t sum = 0;
            for (int y = by; y < ey; ++y)
                for (int x = bx; x < ex; ++x)
                    sum += plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                                 static_cast<std::size_t>(x)];
            const auto count = static_cast<uint64_t>(ey - by) * static_cast<uint64_t>(ex - bx);
            const auto mean = static_cast<uint8_t>((sum + count / 2) / count);
            for (int y = by; y < ey; ++y)
                std::memset(plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                                static_cast<std::size_t>(bx),
                            mean, static_cast<std::size_t>(ex - bx));
        }
    }
}
