#pragma once

#include "TDataSetState.h"

#include <QObject>
#include <vector>

class TDataLink;
class TTable;

// Connects a table cursor to the bound controls of a window: every
// notification of the cursor is passed to each link, in the order the links
// were attached.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* owner = nullptr);
    // The links lose their data source (each gets ActiveChanged/EditingChanged as it goes inactive).
    ~TDataSource() override;

    TTable* DataSet() const { return dataSet_; }
    void setDataSet(TTable* table);
    // Typing into a bound box may start an edit (on by default).
    bool AutoEdit() const { return autoEdit_; }
    void setAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }
    // The cursor's state; dsInactive without a cursor.
    TDataSetState State() const;
    // The "ask to edit" of a bound control: runs the cursor's Edit when
    // AutoEdit is on and the cursor is in browse state.
    void Edit();

private:
    friend class TTable;
    friend class TDataLink;

    void dataEvent(TDataEvent event, void* info);
    void addLink(TDataLink* link);
    void removeLink(TDataLink* link);
    void dataSetDestroyed();

    TTable* dataSet_ = nullptr;
    bool autoEdit_ = true;
    std::vector<TDataLink*> links_;
};
