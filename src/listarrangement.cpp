// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "listarrangement.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>
#include <QUndoCommand>

#include <algorithm>
#include <numeric>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

QCollator nameCollator()
{
    QCollator collator(QLocale(QLocale::Korean, QLocale::SouthKorea));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Room kept for the undo history; each step holds the list twice, its texts shared.
constexpr int stepsKept = 100;

// A drag that nears the top or bottom of the list scrolls it, so that a row can
// be taken anywhere in a long list.
constexpr int autoScrollMargin = 16;
constexpr int autoScrollInterval = 50;

const QString rowDragType = QStringLiteral("application/x-sheafwright-list-row");

} // namespace

namespace {

// A file as sorting by name sees it.
struct NamedPath
{
    explicit NamedPath(const QString &path)
        : path(path)
        , name(QFileInfo(path).fileName())
    {
    }

    QString path;
    QString name;
};

// Whether, sorted by name, one file goes before another.
class GoesBeforeByName
{
public:
    bool operator()(const NamedPath &a, const NamedPath &b) const
    {
        if (const int byName = m_collator.compare(a.name, b.name))
            return byName < 0;
        if (const int byPath = m_collator.compare(a.path, b.path))
            return byPath < 0;
        // Names the collator takes for equal ("a" and "A", "1" and "01") still
        // go in one order, whatever order the folder gave them in.
        return a.path < b.path;
    }

private:
    QCollator m_collator = nameCollator();
};

// The order in which the paths go when sorted by name, as indices into them.
std::vector<qsizetype> nameOrder(const QStringList &paths)
{
    const std::vector<NamedPath> files(paths.cbegin(), paths.cend());
    const GoesBeforeByName goesBefore;
    std::vector<qsizetype> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return goesBefore(files[a], files[b]); });
    return order;
}

// A message shows a character that would break its line, or show as nothing, as an escape.
QString visibleCharacter(char32_t character)
{
    switch (character) {
    case '\n':
        return QStringLiteral("\\n");
    case '\t':
        return QStringLiteral("\\t");
    case '\r':
        return QStringLiteral("\\r");
    }
    if (character < 0x20 || character == 0x7F)
        return QString::asprintf("\\x%02X", uint(character));
    switch (QChar::category(character)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return QString::asprintf("\\u{%X}", uint(character));
    default:
        return QString::fromUcs4(&character, 1);
    }
}

void appendVisibleCharacters(QStringList &pieces, const QString &text)
{
    for (const char32_t character : text.toUcs4())
        pieces << visibleCharacter(character);
}

// Whether the system's encoding reads these bytes of a name: decoded and encoded
// again, they are what they were. Those it does not read decode to U+FFFD, and the
// text names no file.
bool isReadableName(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

// A path as far as it can be read: each of its parts that the system's encoding
// reads, as its text; each that it does not, with its bytes beyond ASCII escaped
// ("\xC1"), which are no characters of this system.
QStringList visiblePieces(const QByteArray &path)
{
    QStringList pieces;
    const QList<QByteArray> parts = path.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            pieces << QStringLiteral("/");
        if (isReadableName(parts[i])) {
            appendVisibleCharacters(pieces, QFile::decodeName(parts[i]));
            continue;
        }
        for (const char byte : parts[i]) {
            if (uchar(byte) < 0x80)
                pieces << visibleCharacter(char32_t(byte));
            else
                pieces << QString::asprintf("\\x%02X", uint(uchar(byte)));
        }
    }
    return pieces;
}

// Room for a name in a message box's text, in Latin letters.
constexpr qsizetype roomForAName = 120;

// A Hangul syllable, or a Han or kana character, takes the room of about two
// Latin letters, and a line breaks nowhere in a run of them: a name of such
// characters without spaces that got the room of 120 letters would run off the box.
qsizetype roomOf(const QString &piece)
{
    qsizetype room = 0;
    for (const char32_t character : piece.toUcs4()) {
        switch (QChar::script(character)) {
        case QChar::Script_Hangul:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            room += 2;
            break;
        default:
            room += 1;
        }
    }
    return room;
}

// The pieces of a name, where they fit; otherwise the start of the name, "…" and
// its end, which tells the file and so gets most of the room.
QString joinedWithinRoom(const QStringList &pieces)
{
    qsizetype room = 0;
    for (const QString &piece : pieces)
        room += roomOf(piece);
    if (room <= roomForAName)
        return pieces.join(QString());
    QString start;
    qsizetype startRoom = 0;
    qsizetype first = 0;
    while (startRoom + roomOf(pieces[first]) <= roomForAName / 3) {
        startRoom += roomOf(pieces[first]);
        start += pieces[first++];
    }
    QString end;
    qsizetype endRoom = 0;
    for (qsizetype last = pieces.size() - 1;
         last >= first && startRoom + endRoom + roomOf(pieces[last]) < roomForAName; --last) {
        endRoom += roomOf(pieces[last]);
        end.prepend(pieces[last]);
    }
    return start + QChar(0x2026) + end;
}

// Files a drop could not add, their names not in the system's encoding (an
// archive made on Korean Windows and unpacked here keeps them in CP949): how
// many, and where; the details name each by its bytes.
void warnOfUnreadableNames(const QList<QByteArray> &paths)
{
    constexpr int foldersNamedInTheBox = 10;
    QStringList folders;
    QStringList names;
    for (const QByteArray &path : paths) {
        const QByteArray folderPath = path.left(std::max(path.lastIndexOf('/'), qsizetype(1)));
        const QString folder = joinedWithinRoom(visiblePieces(folderPath));
        if (!folders.contains(folder))
            folders << folder;
        names << visiblePieces(path).join(QString());
    }
    QStringList lines(QString::fromUtf8("파일 이름을 시스템 인코딩으로 읽을 수 없어 %1개 파일을 추가하지 못했습니다.")
                          .arg(paths.size()));
    for (const QString &folder : folders.mid(0, foldersNamedInTheBox))
        lines << QString::fromUtf8("폴더: %1").arg(folder);
    if (folders.size() > foldersNamedInTheBox)
        lines << QString::fromUtf8("외 %1개 폴더").arg(folders.size() - foldersNamedInTheBox);
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8("주의"), lines.join('\n'), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(names.join('\n'));
    box.exec();
}

#ifdef Q_OS_UNIX
// Listed by the system, not by QDir, which turns the names the system's encoding
// does not read into U+FFFD and then finds no such files: those are kept, as their bytes.
void addTextFilesIn(const QByteArray &folder, DroppedFiles &files)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
    const QDir readableFolder(QFile::decodeName(folder));
    QStringList paths;
    QList<QByteArray> unreadable;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const QByteArray path = prefix + name;
        struct stat status;
        if (name.startsWith('.') || !name.toLower().endsWith(".txt") || ::stat(path.constData(), &status) != 0
            || !S_ISREG(status.st_mode))
            continue;
        if (isReadableName(path))
            paths << readableFolder.filePath(QFile::decodeName(name));
        else
            unreadable << path;
    }
    ::closedir(dir);
    files.paths << sortedByName(paths);
    std::sort(unreadable.begin(), unreadable.end());
    files.unreadable << unreadable;
}
#else
void addTextFilesIn(const QString &folder, DroppedFiles &files)
{
    const QDir dir(folder, QStringLiteral("*.txt"), QDir::NoSort, QDir::Files);
    QStringList paths;
    for (const QString &name : dir.entryList())
        paths << dir.filePath(name);
    files.paths << sortedByName(paths);
}
#endif

} // namespace

QStringList sortedByName(const QStringList &paths)
{
    QStringList sorted;
    sorted.reserve(paths.size());
    for (const qsizetype index : nameOrder(paths))
        sorted << paths[index];
    return sorted;
}

QString visibleName(const QString &path)
{
    QStringList pieces;
    appendVisibleCharacters(pieces, path);
    return joinedWithinRoom(pieces);
}

// One change of the list, held as the rows before and after it.
class ListArrangement::Step : public QUndoCommand
{
public:
    Step(ListArrangement &arrangement, Rows before, Rows after)
        : m_arrangement(arrangement)
        , m_before(std::move(before))
        , m_after(std::move(after))
    {
    }

    void undo() override { m_arrangement.restore(m_before); }
    void redo() override
    {
        // Pushed once the change is made; only a redo has to make it again.
        if (m_done) {
            m_done = false;
            return;
        }
        m_arrangement.restore(m_after);
    }

private:
    ListArrangement &m_arrangement;
    Rows m_before;
    Rows m_after;
    bool m_done = true;
};

ListArrangement::ListArrangement(QListWidget *list)
    : QObject(list)
    , m_list(list)
    , m_viewport(list->viewport())
    , m_insertionLine(new QWidget(m_viewport))
{
    m_history.setUndoLimit(stepsKept);
    m_insertionLine->setAutoFillBackground(true);
    m_insertionLine->setBackgroundRole(QPalette::Text);
    m_insertionLine->hide();
    m_autoScroll.setInterval(autoScrollInterval);
    connect(&m_autoScroll, &QTimer::timeout, this, &ListArrangement::scrollNearEdge);
    const auto forgetNameOrder = [this] { m_sortedByName.reset(); };
    const QAbstractItemModel *model = m_list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::rowsMoved, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::dataChanged, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::layoutChanged, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::modelReset, this, forgetNameOrder);
    m_viewport->setAcceptDrops(true);
    m_viewport->installEventFilter(this);
}

ListArrangement::Rows ListArrangement::rows() const
{
    Rows rows;
    rows.paths.reserve(m_list->count());
    for (int row = 0; row < m_list->count(); ++row)
        rows.paths << m_list->item(row)->text();
    rows.current = m_list->currentRow();
    return rows;
}

void ListArrangement::restore(const Rows &rows)
{
    m_list->clear();
    m_list->addItems(rows.paths);
    m_list->setCurrentRow(rows.current);
    if (QListWidgetItem *current = m_list->currentItem())
        m_list->scrollToItem(current);
}

void ListArrangement::record(const std::function<void()> &edit)
{
    Rows before = rows();
    edit();
    Rows after = rows();
    if (after.paths != before.paths)
        m_history.push(new Step(*this, std::move(before), std::move(after)));
}

bool ListArrangement::isSortedByName() const
{
    if (!m_sortedByName) {
        // In order when no file goes before the one above it: one pass down the
        // list, not a sort, and it ends at the first file out of order.
        const GoesBeforeByName goesBefore;
        const int count = m_list->count();
        int row = 1;
        if (count > 0) {
            NamedPath above(m_list->item(0)->text());
            for (; row < count; ++row) {
                NamedPath file(m_list->item(row)->text());
                if (goesBefore(file, above))
                    break;
                above = std::move(file);
            }
        }
        m_sortedByName = row >= count;
    }
    return *m_sortedByName;
}

void ListArrangement::sortByName()
{
    record([this] {
        QListWidgetItem *current = m_list->currentItem();
        const std::vector<qsizetype> order = nameOrder(rows().paths);
        QList<QListWidgetItem *> items;
        while (m_list->count() > 0)
            items << m_list->takeItem(0);
        for (const qsizetype index : order)
            m_list->addItem(items[index]);
        m_list->setCurrentItem(current);
    });
}

QMimeData *ListArrangement::dragOfRow(int row) const
{
    auto *data = new QMimeData;
    // Names this list, so that a row dragged from another window is not taken for one of ours.
    data->setData(rowDragType, QByteArray::number(QCoreApplication::applicationPid()) + ' '
                                   + QByteArray::number(quintptr(this)) + ' ' + QByteArray::number(row));
    return data;
}

int ListArrangement::draggedRow(const QMimeData *data) const
{
    if (!data || !data->hasFormat(rowDragType))
        return -1;
    const QList<QByteArray> fields = data->data(rowDragType).split(' ');
    if (fields.size() != 3 || fields[0] != QByteArray::number(QCoreApplication::applicationPid())
        || fields[1] != QByteArray::number(quintptr(this)))
        return -1;
    bool ok = false;
    const int row = fields[2].toInt(&ok);
    return ok && row >= 0 && row < m_list->count() ? row : -1;
}

// Anything but local files and folders is left out.
DroppedFiles ListArrangement::droppedFiles(const QMimeData *data) const
{
    DroppedFiles files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
#ifdef Q_OS_UNIX
        // The URL keeps a name's bytes, percent-encoded; its text has U+FFFD for
        // those the system's encoding does not read.
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        const QByteArray path = isReadableName(bytes) ? QFile::encodeName(info.filePath()) : bytes;
        struct stat status;
        if (::stat(path.constData(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            addTextFilesIn(path, files);
        else if (isReadableName(path))
            files.paths << info.filePath();
        else
            files.unreadable << path;
#else
        if (info.isDir())
            addTextFilesIn(info.filePath(), files);
        else if (info.exists())
            files.paths << info.filePath();
#endif
    }
    return files;
}

int ListArrangement::insertionRow(const QPoint &pos) const
{
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid())
        return m_list->count();
    return pos.y() < m_list->visualRect(index).center().y() ? index.row() : index.row() + 1;
}

void ListArrangement::showInsertionLine(const QPoint &pos)
{
    const int row = insertionRow(pos);
    int y = 0;
    if (row < m_list->count())
        y = m_list->visualItemRect(m_list->item(row)).top();
    else if (row > 0)
        y = m_list->visualItemRect(m_list->item(row - 1)).bottom() + 1;
    m_insertionLine->setGeometry(0, std::max(0, y - 1), m_viewport->width(), 2);
    m_insertionLine->show();
    m_insertionLine->raise();
}

void ListArrangement::hideInsertionLine()
{
    m_insertionLine->hide();
    m_autoScroll.stop();
}

void ListArrangement::scrollNearEdge()
{
    QScrollBar *bar = m_list->verticalScrollBar();
    if (m_dragPosition.y() < autoScrollMargin)
        bar->setValue(bar->value() - bar->singleStep());
    else if (m_dragPosition.y() > m_viewport->height() - autoScrollMargin)
        bar->setValue(bar->value() + bar->singleStep());
    else
        m_autoScroll.stop();
    showInsertionLine(m_dragPosition);
}

bool ListArrangement::handleDrag(QEvent *event)
{
    auto *drag = static_cast<QDragMoveEvent *>(event);
    // A folder is looked into once, as the drag comes in.
    if (event->type() == QEvent::DragEnter)
        m_droppedFiles = droppedFiles(drag->mimeData());
    const bool ours = draggedRow(drag->mimeData()) >= 0;
    const Qt::DropAction action = ours ? Qt::MoveAction : Qt::CopyAction;
    if ((!ours && m_droppedFiles.isEmpty()) || !(drag->possibleActions() & action)) {
        drag->ignore();
        hideInsertionLine();
        return true;
    }
    drag->setDropAction(action);
    drag->accept();
    m_dragPosition = drag->position().toPoint();
    showInsertionLine(m_dragPosition);
    if (!m_autoScroll.isActive())
        m_autoScroll.start();
    return true;
}

void ListArrangement::drop(QDropEvent *event)
{
    hideInsertionLine();
    const int at = insertionRow(event->position().toPoint());
    const int from = draggedRow(event->mimeData());
    if (from >= 0 && (event->possibleActions() & Qt::MoveAction)) {
        moveRow(from, at);
        // Moved here already: the drag must not take the row away as a move would.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    const DroppedFiles files = droppedFiles(event->mimeData());
    if (files.isEmpty() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    record([&] {
        for (int i = 0; i < files.paths.size(); ++i)
            m_list->insertItem(at + i, QDir::toNativeSeparators(files.paths[i]));
    });
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Once the drop is over: the program the files came from waits for its end.
    if (!files.unreadable.isEmpty())
        QTimer::singleShot(0, this, [unreadable = files.unreadable] { warnOfUnreadableNames(unreadable); });
}

// Puts the row `from` where a drop before row `to` puts it; it stays current.
void ListArrangement::moveRow(int from, int to)
{
    if (to == from || to == from + 1)
        return;
    record([&] {
        QListWidgetItem *item = m_list->takeItem(from);
        m_list->insertItem(to > from ? to - 1 : to, item);
        m_list->setCurrentItem(item);
    });
}

void ListArrangement::startDrag(int row)
{
    auto *drag = new QDrag(m_list);
    drag->setMimeData(dragOfRow(row));
    // The row's picture hangs below the pointer, clear of the line that shows
    // where it goes, which is never more than half a row away.
    const QRect rect = m_list->visualItemRect(m_list->item(row));
    drag->setPixmap(m_viewport->grab(rect));
    drag->setHotSpot(QPoint(m_pressPosition.x() - rect.left(), -(rect.height() / 2 + 2)));
    drag->exec(Qt::MoveAction);
}

bool ListArrangement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_viewport)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *press = static_cast<QMouseEvent *>(event);
        m_pressPosition = press->position().toPoint();
        m_pressedRow = press->button() == Qt::LeftButton ? m_list->indexAt(m_pressPosition).row() : -1;
        return false;
    }
    case QEvent::MouseMove: {
        auto *move = static_cast<QMouseEvent *>(event);
        if (m_pressedRow < 0 || !(move->buttons() & Qt::LeftButton))
            return false;
        // A row pressed on is being taken somewhere: the list does not select
        // the rows the pointer passes on its way.
        if ((move->position().toPoint() - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
            const int row = m_pressedRow;
            m_pressedRow = -1;
            startDrag(row);
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressedRow = -1;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return handleDrag(event);
    case QEvent::DragLeave:
        hideInsertionLine();
        return true;
    case QEvent::Drop:
        drop(static_cast<QDropEvent *>(event));
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
