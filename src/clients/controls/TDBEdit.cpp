#include "TDBEdit.h"

#include "Guarded.h"
#include "TDataSource.h"
#include "TField.h"
#include "TTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>
#include <functional>

namespace {
// The largest length the underlying box takes; stands for "no limit".
constexpr int NoLimit = 32767;
} // namespace

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    dataLink_.setControl(this);
    dataLink_.OnDataChange = [this] { dataChange(); };
    dataLink_.OnDataSetChange = [this] { forgetUndo(); };
    dataLink_.OnEditingChange = [this] { editingChange(); };
    dataLink_.OnUpdateData = [this] { updateData(); };
    dataLink_.OnActiveChange = [this] { dataChange(); };
    // Only changes the user makes mark the box; loading the field's value does not.
    connect(this, &QLineEdit::textEdited, this, [this] { dataLink_.SetModified(); });
}

TDBEdit::~TDBEdit()
{
    dataLink_.OnDataChange = nullptr;
    dataLink_.OnDataSetChange = nullptr;
    dataLink_.OnEditingChange = nullptr;
    dataLink_.OnUpdateData = nullptr;
    dataLink_.OnActiveChange = nullptr;
    dataLink_.setDataSource(nullptr);
}

void TDBEdit::setDataSource(TDataSource* source)
{
    dataLink_.setDataSource(source);
    dataChange();
    editingChange();
}

void TDBEdit::setDataField(const QString& fieldName)
{
    dataLink_.setFieldName(fieldName);
    dataChange();
    editingChange();
}

void TDBEdit::dataChange()
{
    TField* field = dataLink_.Field();
    if (!field) {
        setText(QString());
        return;
    }
    if (maxLength_ == 0 && field->DataType() == ftString)
        maxLength_ = field->Size() > 0 ? field->Size() : NoLimit;
    // The same text is left alone, so that starting an edit keeps the
    // caret and the selection the user's key or command works on.
    const QString value = field->AsString();
    if (value != text())
        setText(value);
}

void TDBEdit::forgetUndo()
{
    // (A read-only box reports no undo, but keeps its history all the same.)
    const int caret = cursorPosition();
    setText(text()); // setting the text drops the history
    setCursorPosition(caret);
}

void TDBEdit::editingChange()
{
    setReadOnly(!dataLink_.Editing());
    // A read-only box still takes drops; the drop asks for the edit.
    setAcceptDrops(true);
    // Leaving edit or insert state clears the changed mark.
    if (!dataLink_.Editing() && dataLink_.Modified())
        dataLink_.Reset();
}

void TDBEdit::updateData()
{
    if (TField* field = dataLink_.Field())
        field->SetAsString(text());
}

int TDBEdit::TypingLimit() const
{
    int limit = maxLength_ > 0 ? maxLength_ : NoLimit;
    if (const TField* field = dataLink_.Field(); field && field->ColumnSize() > 0)
        limit = std::min(limit, field->ColumnSize());
    return limit;
}

int TDBEdit::room() const
{
    return std::max(0, TypingLimit() - int(text().size() - selectedText().size()));
}

void TDBEdit::insertLimited(const QString& text)
{
    if (isReadOnly())
        return;
    const QString fitting = text.left(room());
    if (!fitting.isEmpty() || hasSelectedText())
        insert(fitting);
}

bool TDBEdit::askEdit()
{
    return dataLink_.Edit();
}

bool TDBEdit::isEditKey(const QKeyEvent* e)
{
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key == Qt::Key_Delete || key == Qt::Key_Backspace)
        return true;
    if (key == Qt::Key_Insert && mods == Qt::ShiftModifier)
        return true;
    if ((key == Qt::Key_V || key == Qt::Key_X) && mods == Qt::ControlModifier)
        return true;
    for (QKeySequence::StandardKey changing :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::DeleteEndOfLine, QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
          QKeySequence::DeleteCompleteLine})
        if (e->matches(changing))
            return true;
    return false;
}

QString TDBEdit::composed(const QString& text)
{
    return text.normalized(QString::NormalizationForm_C);
}

bool TDBEdit::acceptsText(const QString& text) const
{
    TField* field = dataLink_.Field();
    if (!field)
        return true;
    for (QChar c : text)
        if (!field->IsValidChar(c)) {
            QApplication::beep();
            return false;
        }
    return true;
}

void TDBEdit::keyPressEvent(QKeyEvent* event)
{
    bool pass = false;
    guarded([&] {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            // Back to the field's value; the cursor stays in its state.
            dataLink_.Reset();
            selectAll();
            return;
        }
        const QString typed = event->text();
        const bool isChar = !typed.isEmpty() && typed.at(0).unicode() >= 32 && typed.at(0) != QChar(0x7f) &&
                            !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (isChar) {
            if (!acceptsText(typed))
                return;
            askEdit();
            // A full box takes no more characters (the edit has started all the same).
            pass = int(typed.size()) <= room();
            return;
        }
        if (isEditKey(event)) {
            if (event->matches(QKeySequence::Paste) ||
                (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier)) {
                pasteChecked(QApplication::clipboard()->text());
                return;
            }
            askEdit();
        }
        pass = true;
    });
    if (pass)
        QLineEdit::keyPressEvent(event);
    else
        event->accept();
}

void TDBEdit::inputMethodEvent(QInputMethodEvent* event)
{
    bool pass = false;
    guarded([&] {
        if (!event->commitString().isEmpty()) {
            const QString commit = composed(event->commitString());
            if (!acceptsText(commit))
                return;
            askEdit();
            event->setCommitString(commit.left(room()), event->replacementStart(), event->replacementLength());
        }
        pass = true;
    });
    if (pass)
        QLineEdit::inputMethodEvent(event);
    else
        event->accept();
}

void TDBEdit::focusInEvent(QFocusEvent* event)
{
    guarded([&] {
        if (!focused_) {
            focused_ = true;
            // A drop made while the box had no focus stays, to be stored
            // like typed text.
            if (!dataLink_.Modified())
                dataLink_.Reset();
        }
    });
    QLineEdit::focusInEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A context menu or a window switch takes the focus only for a while.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    guarded([&] {
        try {
            dataLink_.UpdateRecord();
        } catch (...) {
            // The field keeps its earlier value; the user corrects the text here.
            selectAll();
            setFocus();
            throw;
        }
        focused_ = false;
    });
}

void TDBEdit::pasteChecked(const QString& text)
{
    const QString pasted = composed(text);
    if (acceptsText(pasted) && askEdit())
        insertLimited(pasted);
}

void TDBEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The middle button pastes the X11 selection, with the checks of every
    // other paste (the press already put the caret where it points).
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        event->accept();
        guarded([&] {
            const QString selection = QApplication::clipboard()->text(QClipboard::Selection);
            if (selection.isEmpty())
                return;
            deselect();
            pasteChecked(selection);
        });
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TDBEdit::contextMenuEvent(QContextMenuEvent* event)
{
    // The box's own menu, with the usual items; those that change the text
    // ask for the edit first, as the keys do.
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("editMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool canChange = !isReadOnly() || (dataLink_.Field() && dataLink_.CanModify());
    const bool selected = hasSelectedText();
    auto add = [&](const char* name, const char* text, QKeySequence::StandardKey key, bool enabled,
                   bool changes, std::function<void()> action) {
        QString caption = QCoreApplication::translate("QLineEdit", text);
        const QString keys = QKeySequence(key).toString(QKeySequence::NativeText);
        if (!keys.isEmpty())
            caption += QLatin1Char('\t') + keys;
        QAction* item = menu->addAction(caption);
        item->setObjectName(QLatin1String(name));
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, [this, action, changes] {
            guarded([&] {
                if (!changes || askEdit())
                    action();
            });
        });
    };
    add("edit-undo", "&Undo", QKeySequence::Undo, canChange && isUndoAvailable(), true, [this] { undo(); });
    add("edit-redo", "&Redo", QKeySequence::Redo, canChange && isRedoAvailable(), true, [this] { redo(); });
    menu->addSeparator();
    add("edit-cut", "Cu&t", QKeySequence::Cut, canChange && selected && echoMode() == Normal, true, [this] { cut(); });
    add("edit-copy", "&Copy", QKeySequence::Copy, selected && echoMode() == Normal, false, [this] { copy(); });
    add("edit-paste", "&Paste", QKeySequence::Paste, canChange && !QApplication::clipboard()->text().isEmpty(),
        false, [this] { pasteChecked(QApplication::clipboard()->text()); });
    add("edit-delete", "Delete", QKeySequence::UnknownKey, canChange && selected, true, [this] { del(); });
    menu->addSeparator();
    add("select-all", "Select All", QKeySequence::SelectAll, !text().isEmpty() && selectedText() != text(), false,
        [this] { selectAll(); });
    menu->popup(event->globalPos());
}

void TDBEdit::dragEnterEvent(QDragEnterEvent* event)
{
    // A read-only box refuses drops; one the user could edit takes them and
    // asks for the edit when the text arrives.
    if (event->mimeData()->hasText() && dataLink_.CanModify() && dataLink_.Field()) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void TDBEdit::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasText() && dataLink_.CanModify() && dataLink_.Field()) {
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void TDBEdit::dropEvent(QDropEvent* event)
{
    bool pass = false, dropped = false;
    guarded([&] {
        const QString text = event->mimeData()->hasText() ? composed(event->mimeData()->text()) : QString();
        if (text.isEmpty() || !acceptsText(text))
            return;
        if (!askEdit())
            return;
        if (event->source() == this) {
            pass = true; // moved or copied inside the box: its own handling
            return;
        }
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        insertLimited(text);
        event->acceptProposedAction();
        dropped = true;
    });
    if (pass)
        QLineEdit::dropEvent(event);
    else if (!dropped)
        event->ignore();
}
