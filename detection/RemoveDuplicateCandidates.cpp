#include "detection/RemoveDuplicateCandidates.h"

#include "detection/SearchContext.h"

namespace kalvero {

void RemoveDuplicateCandidates(SearchContext& context) {
    std::vector<CandidateRegion>& list = context.candidates;
    for (std::size_t a = 0; a < list.size(); ++a) {
        std::size_t i = 0;
        while (i < list.size()) {
            if (i != a && SameBox(list[a], list[i])) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                if (i < a) {
                    --a;
                }
                continue;
            }
            ++i;
        }
    }
}

}  // namespace kalvero
