// The folder's pictures as the user arranges them for the movie: in the movie's
// order, each taken or left out. It starts from the pictures the movie takes now,
// followed by the folder's others, left out; a sort puts every picture in the order
// the picture source lists them by, keeping what is taken.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class PictureArrangement {
public:
    struct Picture {
        std::u16string name;
        bool taken = true;
        bool operator==(const Picture&) const = default;
    };

    // `taken`: the movie's pictures in its order; `folder`: all the folder's pictures.
    PictureArrangement(const std::vector<std::u16string>& taken, const std::vector<std::u16string>& folder);

    const std::vector<Picture>& Pictures() const { return pictures; }
    // The pictures as the user left them (dragged, ticked, unticked).
    void SetPictures(std::vector<Picture> arranged) { pictures = std::move(arranged); }
    // `ordered` holds the folder's pictures in a PictureOrder; names it lacks stay last.
    void SortAs(const std::vector<std::u16string>& ordered);
    std::vector<std::u16string> Taken() const;
    std::size_t TakenCount() const;
    // Whether the movie would take other pictures, or in another order, than at the start.
    bool Changed() const { return Taken() != initiallyTaken; }

private:
    std::vector<Picture> pictures;
    std::vector<std::u16string> initiallyTaken;
};
