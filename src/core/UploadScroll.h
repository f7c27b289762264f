#pragma once
// The upload window's scroller over the recordings being titled: two edit
// slots show recordings p and p + 1, and a vertical scroller with a value in
// [0, 1] moves p over 0 .. count - 2 (pageCount). A line step moves one
// recording, a page step two; dragging the knob moves one recording each time
// the value passes the last stored value by one step. The ends always land on
// the first and last positions, whatever rounding the steps gathered.
enum class UploadScrollPart { PageUp, PageDown, LineUp, LineDown, KnobDrag, KnobSlot };

struct UploadScrollState {
    int position = 0;  // the recording in the first slot
    double value = 0;  // the scroller's value
    double stored = 0; // the value the last move was measured from
};

// One hit on the scroller. value is the scroller's value after the hit (the
// dragged position for KnobDrag; unchanged for the others); pageCount is the
// number of recordings - 1, at least 1 for a scroller to exist.
UploadScrollState pmUploadScroll(UploadScrollPart part, const UploadScrollState& before, double value,
                                 int pageCount);
