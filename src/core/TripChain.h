#pragma once
// The recordings of a trip a surface plays in one go, as one timeline. From
// the row opened, the next members of its trip follow while each is the
// playlist's very next recording: a row of another type or camera between
// two members (an event inside a drive) ends the chain and plays in its
// turn; the rear partners beside their fronts are no such rows. The rear
// surface plays the partners of the front's chain, as far as each front
// recording has one. Pure: the caller says which rows can be played and
// which row is a row's partner.
#include <cstddef>
#include <functional>
#include <vector>

// At most this many recordings in one go: the player reads every header of a
// chain when it opens it. A longer trip goes on with the next chain from there.
constexpr std::size_t kMaxChainRecordings = 16;

// The chain from `row`: `row` itself, then the members after it in `trip`
// (the trip's rows in play order) as long as each is `playable` and next to
// the one before; at most `maxRows`. Just `row` when `trip` does not hold it.
std::vector<int> pmTripChainFrom(int row, const std::vector<int>& trip,
                                 const std::function<bool(int)>& playable,
                                 const std::function<int(int)>& partnerOf,
                                 std::size_t maxRows = kMaxChainRecordings);

// The rear surface's chain beside the front's `front` chain: `rear`, then the
// partner of each later front row while it has one below `rowCount`. Just
// `rear` unless it is the partner of the front chain's first row.
std::vector<int> pmRearChain(const std::vector<int>& front, int rear, int rowCount,
                             const std::function<int(int)>& partnerOf);
