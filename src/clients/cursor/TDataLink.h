#pragma once

#include "TDataSetState.h"

class TDataSource;
class TField;
class TTable;

// The base of a bound control's link to a data source. The data source calls
// the hooks below for the cursor's notifications:
//   deUpdateState     -> ActiveChanged (when Active flips), then EditingChanged (when Editing flips)
//   deDataSetChange   -> DataSetChanged        (default: RecordChanged(nullptr))
//   deDataSetScroll   -> DataSetScrolled(dist) (default: DataSetChanged())
//   deLayoutChange    -> LayoutChanged         (default: DataSetChanged())
//   deRecordChange    -> RecordChanged(nullptr)
//   deFieldChange     -> RecordChanged(field)
//   deUpdateRecord    -> UpdateData            (through UpdateRecord)
//   deCheckBrowseMode -> CheckBrowseMode
//   deFocusControl    -> FocusControl(TField**)
// Setting or clearing the data source runs the state update as well.
// Hooks may throw (a failing UpdateData stops the post that asked for it).
class TDataLink {
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return dataSource_; }
    void setDataSource(TDataSource* source);
    // The data source's cursor, or null.
    TTable* DataSet() const;

    // The cursor is open.
    bool Active() const { return active_; }
    // The cursor is in edit or insert state and this link may change data.
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);

    // The "ask to edit": unless read-only, lets the data source start an edit
    // (AutoEdit, browse state). Returns Editing() afterwards. Errors of Edit go on.
    virtual bool Edit();
    // Runs UpdateData (once; nested requests are ignored).
    void UpdateRecord();

protected:
    virtual void ActiveChanged() {}
    virtual void EditingChanged() {}
    virtual void DataSetChanged();
    virtual void DataSetScrolled(int distance);
    virtual void LayoutChanged();
    virtual void RecordChanged(TField* field);
    virtual void UpdateData() {}
    virtual void CheckBrowseMode() {}
    virtual void FocusControl(TField** field);
    // Extra condition for Editing (the field link requires a modifiable field).
    virtual bool CanEdit() const { return true; }
    // Re-evaluates Active and Editing and calls their hooks when they flip.
    void UpdateState();

private:
    friend class TDataSource;
    void dataEvent(TDataEvent event, void* info);
    void dataSourceDestroyed();

    TDataSource* dataSource_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
};
