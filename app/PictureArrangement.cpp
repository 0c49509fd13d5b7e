#include "app/PictureArrangement.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

PictureArrangement::PictureArrangement(const std::vector<std::u16string>& taken,
                                       const std::vector<std::u16string>& folder)
    : initiallyTaken(taken)
{
    pictures.reserve(folder.size());
    std::unordered_set<std::u16string> seen;
    for (const std::u16string& name : taken) {
        // A picture a list names twice is shown once here: the arrangement takes it once.
        if (seen.insert(name).second) pictures.push_back({name, true});
    }
    for (const std::u16string& name : folder)
        if (seen.insert(name).second) pictures.push_back({name, false});
}

void PictureArrangement::SortAs(const std::vector<std::u16string>& ordered)
{
    std::unordered_map<std::u16string, std::size_t> rank;
    for (std::size_t i = 0; i < ordered.size(); ++i) rank.emplace(ordered[i], i);
    const auto rankOf = [&rank, last = ordered.size()](const Picture& picture) {
        const auto found = rank.find(picture.name);
        return found == rank.end() ? last : found->second;
    };
    std::stable_sort(pictures.begin(), pictures.end(),
                     [&rankOf](const Picture& a, const Picture& b) { return rankOf(a) < rankOf(b); });
}

std::vector<std::u16string> PictureArrangement::Taken() const
{
    std::vector<std::u16string> names;
    for (const Picture& picture : pictures)
        if (picture.taken) names.push_back(picture.name);
    return names;
}

std::size_t PictureArrangement::TakenCount() const
{
    return static_cast<std::size_t>(
        std::count_if(pictures.begin(), pictures.end(), [](const Picture& picture) { return picture.taken; }));
}
