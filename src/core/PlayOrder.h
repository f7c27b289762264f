#pragma once
// Which playlist row plays next or before: the play bar's Next and Prev and
// the move on at a recording's end, one camera at a time or as front/rear
// pairs. Pure: the caller says which rows are rear recordings and which row
// is a row's partner.
#include <functional>

// The row Next opens from `current` (the selected row when nothing is
// current), wrapping round to the first; -1 with fewer than two rows.
int pmNextPlayRow(int count, int current, int selected);
// The row Prev opens, wrapping round to the last; -1 with fewer than two rows.
int pmPrevPlayRow(int count, int current, int selected);
// With two cameras: the row whose pair opens after (`forward`) or before the
// pair at `current`, whose rear is open beside it when `rearOpen` (its row
// is the next one). Going back onto a rear row opens its front's pair. At an
// end it wraps with `wrap`, else the answer is `current`: nothing opens.
int pmNextPairRow(int count, int current, bool rearOpen, bool forward, bool wrap,
                  const std::function<bool(int)>& isRear, const std::function<int(int)>& partnerOf);
// Nothing follows the recording at `current` at its end (the move on does
// not wrap, and the open rear partner is not a next recording).
bool pmIsLastPlayRow(int count, int current, bool rearOpen);
