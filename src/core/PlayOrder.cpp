#include "core/PlayOrder.h"

int pmNextPlayRow(int count, int current, int selected)
{
    if (count < 2)
        return -1;
    const int base = current < 0 ? selected : current;
    int target = base + 1;
    if (target >= count)
        target = 0;
    return target >= 0 && target < count ? target : -1;
}

int pmPrevPlayRow(int count, int current, int selected)
{
    if (count < 2)
        return -1;
    const int base = current < 0 ? selected : current;
    const int target = base <= 0 ? count - 1 : base - 1;
    return target < count ? target : -1;
}

int pmNextPairRow(int count, int current, bool rearOpen, bool forward, bool wrap,
                  const std::function<bool(int)>& isRear, const std::function<int(int)>& partnerOf)
{
    if (forward) {
        const int target = rearOpen ? current + 2 : current + 1;
        if (target < count)
            return target;
        return wrap ? 0 : current;
    }
    if (current < 1)
        return wrap ? count - 1 : current;
    int target = current - 1;
    if (isRear && isRear(target)) {
        const int partner = partnerOf ? partnerOf(target) : -1;
        if (partner >= 0)
            target = partner;
    }
    return target;
}

bool pmIsLastPlayRow(int count, int current, bool rearOpen)
{
    return (rearOpen ? current + 2 : current + 1) >= count;
}
