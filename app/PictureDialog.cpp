#include "app/PictureDialog.h"

#include "app/PreviewArea.h"
#include "engine/ErrorWords.h"
#include "picsource/PictureOptions.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/resource/UiText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <unordered_map>

namespace {

QString ToQt(const std::u16string& text) { return QString::fromStdU16String(text); }

// The main window's colours, so that the dialog reads as part of it.
const char* const kStyle = R"(
QDialog { background: #1b2a49; color: #e8eefc; }
QLabel { color: #e8eefc; }
QListWidget { background: #0b1020; color: #e8eefc; border: 2px solid #6c8fc7; }
QListWidget::item:selected { background: #3b6fd8; }
QListWidget::indicator { width: 14px; height: 14px; border: 2px solid #e8eefc; border-radius: 4px;
                         background: #0b1020; }
QListWidget::indicator:checked { background: #2e9c6a; }
QPushButton { background: #3b6fd8; color: white; border: 2px solid #e8eefc; border-radius: 10px;
              padding: 5px 14px; font-weight: bold; }
QPushButton:pressed { background: #24478f; border-color: #ffb347; }
QPushButton:disabled { background: #6b6f78; color: #b0b3ba; }
)";

// A thumbnail's place while it is decoded, or, for a picture that cannot be read, a
// cross and the reason.
QIcon PlaceholderIcon(const QString& reason = {})
{
    QPixmap face(PictureDialog::kThumbnailWidth, PictureDialog::kThumbnailHeight);
    face.fill(QColor(reason.isEmpty() ? "#22345a" : "#3a1f28"));
    if (!reason.isEmpty()) {
        QPainter painter(&face);
        painter.setPen(QPen(QColor("#ff8a8a"), 3));
        const QRect cross(face.width() / 2 - 10, 8, 20, 20);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(12);
        painter.setFont(font);
        painter.drawText(face.rect().adjusted(4, 34, -4, -2), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         reason);
    }
    return QIcon(face);
}

// The grid of thumbnails, in which a picture is dragged to another place in the order:
// dropped on a picture it goes before it, or after it on its right half; dropped past
// the last it goes last. An orange bar shows where while it is dragged. The drag is the
// grid's own rather than the desktop's drag and drop, whose drop in an icon grid places
// items freely instead of moving them in the list's order.
class PictureGrid final : public QListWidget {
public:
    explicit PictureGrid(QWidget* parent) : QListWidget(parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QListWidget::mousePressEvent(event);
        dragged = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()).row() : -1;
        pressedAt = event->position().toPoint();
        dropRow = -1;
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const QPoint at = event->position().toPoint();
        if (dragged < 0 || !(event->buttons() & Qt::LeftButton)) {
            QListWidget::mouseMoveEvent(event);
            return;
        }
        if (dropRow < 0 && (at - pressedAt).manhattanLength() < QApplication::startDragDistance()) return;
        dropRow = DropRow(at);
        viewport()->setCursor(Qt::ClosedHandCursor);
        viewport()->update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const int from = dragged;
        const int to = dropRow;
        dragged = -1;
        dropRow = -1;
        viewport()->unsetCursor();
        viewport()->update();
        QListWidget::mouseReleaseEvent(event);
        if (from >= 0 && to >= 0) model()->moveRow(QModelIndex(), from, QModelIndex(), to);
    }
    void paintEvent(QPaintEvent* event) override
    {
        QListWidget::paintEvent(event);
        if (dropRow < 0 || count() == 0) return;
        const bool last = dropRow >= count();
        const QRect beside = visualRect(model()->index(last ? count() - 1 : dropRow, 0));
        const int x = last ? beside.right() - 3 : beside.left();
        QPainter painter(viewport());
        painter.fillRect(QRect(x, beside.top(), 4, beside.height()), QColor("#ffb347"));
    }

private:
    int DropRow(QPoint at) const
    {
        const QModelIndex target = indexAt(at);
        if (!target.isValid()) return count();
        return target.row() + (at.x() > visualRect(target).center().x() ? 1 : 0);
    }

    int dragged = -1;
    int dropRow = -1;
    QPoint pressedAt;
};

} // namespace

PictureDialog::PictureDialog(WorkflowEngine& workflowEngine, QWidget* parent, ThumbnailLoader::Render render)
    : QDialog(parent),
      engine(workflowEngine),
      arrangement(engine.PictureNames(), engine.FolderPictures(OrderListing)),
      list(new PictureGrid(this)),
      count(new QLabel(this)),
      ok(new QPushButton(ToQt(UiText("PictureDialog", "OK")), this)),
      cancel(new QPushButton(ToQt(UiText("PictureDialog", "キャンセル")), this))
{
    setWindowTitle(ToQt(UiText("PictureDialog", "写真の並び")));
    setStyleSheet(QLatin1String(kStyle));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    setFont(font);

    auto* hint = new QLabel(
        ToQt(UiText("PictureDialog", "ドラッグで並べ替えます。チェックを外した写真は動画に入りません。")), this);
    auto* sorting = new QHBoxLayout;
    sorting->addWidget(new QLabel(ToQt(UiText("PictureDialog", "並べ替え:")), this));
    AddSortButton(UiText("PictureDialog", "名前順"), OrderName);
    AddSortButton(UiText("PictureDialog", "撮影日順"), OrderDate);
    AddSortButton(UiText("PictureDialog", "ファイルの日時順"), OrderTime);
    for (QPushButton* button : sortButtons) sorting->addWidget(button);
    sorting->addStretch();
    sorting->addWidget(count);

    // A grid of thumbnails, captions under them.
    list->setViewMode(QListView::IconMode);
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setIconSize(QSize(kThumbnailWidth, kThumbnailHeight));
    list->setGridSize(QSize(kThumbnailWidth + 24, kThumbnailHeight + 52));
    list->setUniformItemSizes(true);
    list->setWordWrap(true);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setSelectionMode(QAbstractItemView::SingleSelection);

    const QIcon waiting = PlaceholderIcon();
    std::vector<std::u16string> names;
    for (const PictureArrangement::Picture& picture : arrangement.Pictures()) {
        auto* item = new QListWidgetItem(waiting, ToQt(picture.name), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(picture.taken ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, ToQt(picture.name));
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        items.push_back(item);
        names.push_back(picture.name);
    }
    connect(list->model(), &QAbstractItemModel::rowsMoved, this, [this] { ReadRows(); });
    connect(list, &QListWidget::itemChanged, this, [this] { ReadRows(); });

    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(sorting);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    resize(780, 560);
    ShowCount();

    if (!render) {
        render = [&engine = engine](const std::u16string& name, std::vector<BYTE>& frame) {
            return engine.RenderThumbnail(name, kThumbnailWidth, kThumbnailHeight, frame);
        };
    }
    // Handed over to the window's thread; dropped there if the dialog is gone.
    loader = std::make_unique<ThumbnailLoader>(
        std::move(names), std::move(render), [this](std::size_t index, HRESULT result, std::vector<BYTE>&& frame) {
            QMetaObject::invokeMethod(
                this, [this, index, result, frame = std::move(frame)] { ShowThumbnail(index, result, frame); },
                Qt::QueuedConnection);
        });
}

PictureDialog::~PictureDialog() { loader.reset(); }

QPushButton* PictureDialog::AddSortButton(const std::u16string& text, LONG order)
{
    auto* button = new QPushButton(ToQt(text), this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, order] { SortBy(order); });
    sortButtons.push_back(button);
    return button;
}

QPushButton& PictureDialog::SortButton(LONG order)
{
    return *sortButtons.at(static_cast<std::size_t>(order == OrderName ? 0 : order == OrderDate ? 1 : 2));
}

void PictureDialog::ShowThumbnail(std::size_t index, HRESULT result, const std::vector<BYTE>& frame)
{
    if (index >= items.size()) return;
    QListWidgetItem* item = items[index];
    ++thumbnailsShown;
    if (FAILED(result)) {
        const QString reason = ToQt(ErrorWords::DescribeSkip(result));
        item->setIcon(PlaceholderIcon(reason));
        item->setData(kSkipReasonRole, reason);
        item->setToolTip(ToQt(UiText("PictureDialog", "この写真は読み込めないため、動画では飛ばされます:")) +
                         QLatin1Char('\n') + reason);
        item->setForeground(QColor("#ff8a8a"));
        return;
    }
    const int stride = static_cast<int>(DibRowBytes(kThumbnailWidth, 24));
    if (frame.size() < static_cast<std::size_t>(stride) * kThumbnailHeight) return;
    item->setIcon(QIcon(
        QPixmap::fromImage(PreviewArea::UprightImage(frame.data(), kThumbnailWidth, kThumbnailHeight, 24, stride))));
}

void PictureDialog::ReadRows()
{
    if (reordering) return;
    std::vector<PictureArrangement::Picture> pictures;
    pictures.reserve(static_cast<std::size_t>(list->count()));
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        pictures.push_back({item->data(Qt::UserRole).toString().toStdU16String(), item->checkState() == Qt::Checked});
    }
    arrangement.SetPictures(std::move(pictures));
    ShowCount();
}

void PictureDialog::SortBy(LONG order)
{
    ReadRows();
    arrangement.SortAs(engine.FolderPictures(order));
    std::unordered_map<std::u16string, QListWidgetItem*> byName;
    reordering = true;
    while (list->count() > 0) {
        QListWidgetItem* item = list->takeItem(0);
        byName.emplace(item->data(Qt::UserRole).toString().toStdU16String(), item);
    }
    for (const PictureArrangement::Picture& picture : arrangement.Pictures()) list->addItem(byName.at(picture.name));
    reordering = false;
    ShowCount();
}

void PictureDialog::ShowCount()
{
    const auto taken = static_cast<int>(arrangement.TakenCount());
    count->setText(ToQt(UiText("PictureDialog", "%1 / %2 枚を使います")).arg(taken).arg(arrangement.Pictures().size()));
    ok->setEnabled(taken > 0);
}
