// The folder's pictures as thumbnails, for the user to put in the movie's order by
// dragging, to leave out by unticking, or to sort by name, date taken or file time.
// It opens at once: the thumbnails are decoded on worker threads and fill in as they
// arrive; a picture the movie would pass over shows the reason instead.
#pragma once

#include "app/PictureArrangement.h"
#include "app/ThumbnailLoader.h"
#include "app/WorkflowEngine.h"

#include <QDialog>

#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class PictureDialog : public QDialog {
public:
    static constexpr LONG kThumbnailWidth = 128;
    static constexpr LONG kThumbnailHeight = 96;
    // The item data that holds why a picture cannot be read, in words; none while it can.
    static constexpr int kSkipReasonRole = Qt::UserRole + 1; // the name is under Qt::UserRole

    // `render` makes one thumbnail (kThumbnailWidth x kThumbnailHeight); by default the
    // engine's RenderThumbnail.
    explicit PictureDialog(WorkflowEngine& engine, QWidget* parent = nullptr, ThumbnailLoader::Render render = {});
    ~PictureDialog() override;

    const PictureArrangement& Arrangement() const { return arrangement; }
    QListWidget& List() { return *list; }
    // The sort buttons: by name, by date taken, by file time.
    QPushButton& SortButton(LONG order);
    QPushButton& OkButton() { return *ok; }
    QPushButton& CancelButton() { return *cancel; }
    QLabel& CountLabel() { return *count; }
    int ThumbnailsShown() const { return thumbnailsShown; }

private:
    QPushButton* AddSortButton(const std::u16string& text, LONG order);
    void ShowThumbnail(std::size_t index, HRESULT result, const std::vector<BYTE>& frame);
    void SortBy(LONG order);
    // Takes the order and the ticks from the list after the user changed either.
    void ReadRows();
    void ShowCount();

    WorkflowEngine& engine;
    PictureArrangement arrangement;
    QListWidget* list;
    QLabel* count;
    QPushButton* ok;
    QPushButton* cancel;
    std::vector<QPushButton*> sortButtons;
    // By the loader's index, which is the order the pictures were first shown in.
    std::vector<QListWidgetItem*> items;
    bool reordering = false;
    int thumbnailsShown = 0;
    // Last member: destroyed first, so that no worker outlives what it delivers to.
    std::unique_ptr<ThumbnailLoader> loader;
};
