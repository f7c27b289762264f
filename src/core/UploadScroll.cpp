#include "core/UploadScroll.h"

#include <algorithm>

UploadScrollState pmUploadScroll(UploadScrollPart part, const UploadScrollState& before, double value,
                                 int pageCount)
{
    UploadScrollState s = before;
    if (pageCount < 1)
        return s;
    const double step = 1.0 / pageCount;
    const double v = before.value;
    switch (part) {
    case UploadScrollPart::PageUp:
        s.position -= 2;
        s.value = v < 2 * step ? 0 : v - 2 * step;
        s.stored = s.value;
        break;
    case UploadScrollPart::PageDown:
        s.position += 2;
        s.value = v > 1 - 2 * step ? 1 : v + 2 * step;
        s.stored = s.value;
        break;
    case UploadScrollPart::LineUp:
        s.position -= 1;
        s.value = v < step ? 0 : v - step;
        s.stored = s.value;
        break;
    case UploadScrollPart::LineDown:
        s.position += 1;
        s.value = v > 1 - step ? 1 : v + step;
        s.stored = s.value;
        break;
    case UploadScrollPart::KnobDrag:
        s.value = std::clamp(value, 0.0, 1.0);
        if (s.value > before.stored + step) {
            s.position += 1;
            s.stored = s.value;
        } else if (s.value < before.stored - step) {
            s.position -= 1;
            s.stored = s.value;
        }
        break;
    case UploadScrollPart::KnobSlot:
        s.value = before.stored;
        break;
    }
    if (s.value == 0) {
        s.position = 0;
        s.stored = 0;
    } else if (s.value == 1) {
        s.position = pageCount;
        s.stored = 1;
    }
    // Steps summed in floating point may stop just short of an end.
    s.position = std::clamp(s.position, 0, pageCount);
    return s;
}
