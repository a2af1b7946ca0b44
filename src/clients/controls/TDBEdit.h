#pragma once

#include "TFieldDataLink.h"

#include <QLineEdit>

class QMenu;
class TDataSource;
class TField;

// A single-line box bound to one field of the current record. It shows the
// field's value, turns writable only while the cursor edits, asks the cursor
// to start an edit before any change the user makes, and writes its text
// back into the field when the focus leaves it or the record is posted.
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);
    ~TDBEdit() override;

    TDataSource* DataSource() const { return dataLink_.DataSource(); }
    void setDataSource(TDataSource* source);
    QString DataField() const { return dataLink_.FieldName(); }
    void setDataField(const QString& fieldName);
    TField* Field() const { return dataLink_.Field(); }

    // 0 (no limit) until the box first shows a text field, then the field's Size.
    // It limits what is typed, pasted or dropped, never what the box shows: a
    // stored value longer than that (from a wider column) is shown whole.
    int MaxLength() const { return maxLength_; }
    // What typing and pasting may make of the text: MaxLength, or less when
    // the field's column is narrower (so that nothing typed is cut when stored).
    int TypingLimit() const;
    // The box's text was changed by the user since it was last loaded.
    bool Modified() const { return dataLink_.Modified(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Asks the link to edit; true when the box may then change its text.
    // Errors of the edit go on.
    bool askEdit();
    // The keys that change the text (and so ask for an edit first).
    static bool isEditKey(const QKeyEvent* event);
    // Whether the text can go into the field; refuses with a beep otherwise.
    bool acceptsText(const QString& text) const;
    // Text from elsewhere with its letters composed (a base letter and a
    // combining mark become the one letter the code page holds).
    static QString composed(const QString& text);
    // Pastes text from the clipboard or the selection with the checks of typing.
    void pasteChecked(const QString& text);
    // Undo works within one record's edit: a record moved to or read afresh
    // starts with no history, even when it shows the same text.
    void forgetUndo();
    void dataChange();
    void editingChange();
    void updateData();
    // The characters that can still go in over the selection.
    int room() const;
    // Puts the text in place of the selection, as much of it as there is room for.
    void insertLimited(const QString& text);

    TFieldDataLink dataLink_;
    int maxLength_ = 0;
    bool focused_ = false;
};
