#include "compare/view_pair.h"

#include "compare/tx_text.h"

namespace orv {

const std::string& ViewPair::Text(int side) {
    if (!textRead_[side]) {
        text_[side] = views_[side]->Text();
        textRead_[side] = true;
    }
    return text_[side];
}

int32_t ViewPair::Split(int side) {
    if (!split_[side]) {
        TXText_ConvTextToArray(*views_[side], Text(side), lines_[side], splitError_[side]);
        split_[side] = true;
    }
    return splitError_[side];
}

} // namespace orv
