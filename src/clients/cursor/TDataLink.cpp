#include "TDataLink.h"

#include "TDataSource.h"
#include "TTable.h"

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    if (dataSource_)
        dataSource_->removeLink(this);
}

void TDataLink::setDataSource(TDataSource* source) {
    if (dataSource_ == source)
        return;
    if (dataSource_)
        dataSource_->removeLink(this);
    dataSource_ = source;
    if (dataSource_)
        dataSource_->addLink(this);
    UpdateState();
}

TTable* TDataLink::DataSet() const {
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::setReadOnly(bool readOnly) {
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    UpdateState();
}

bool TDataLink::Edit() {
    if (!readOnly_ && dataSource_)
        dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    if (updating_)
        return;
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::UpdateState() {
    TTable* table = DataSet();
    const bool active = table && table->Active();
    if (active != active_) {
        active_ = active;
        ActiveChanged();
    }
    const TDataSetState state = dataSource_ ? dataSource_->State() : dsInactive;
    const bool editing = active_ && (state == dsEdit || state == dsInsert) && !readOnly_ && CanEdit();
    if (editing != editing_) {
        editing_ = editing;
        EditingChanged();
    }
}

void TDataLink::DataSetChanged() {
    RecordChanged(nullptr);
}

void TDataLink::DataSetScrolled(int) {
    DataSetChanged();
}

void TDataLink::LayoutChanged() {
    DataSetChanged();
}

void TDataLink::RecordChanged(TField*) {}

void TDataLink::FocusControl(TField**) {}

void TDataLink::dataEvent(TDataEvent event, void* info) {
    switch (event) {
    case deUpdateState:
        UpdateState();
        break;
    case deFieldChange:
        if (active_)
            RecordChanged(static_cast<TField*>(info));
        break;
    case deRecordChange:
        if (active_)
            RecordChanged(nullptr);
        break;
    case deDataSetChange:
        if (active_)
            DataSetChanged();
        break;
    case deDataSetScroll:
        if (active_)
            DataSetScrolled(static_cast<int>(reinterpret_cast<intptr_t>(info)));
        break;
    case deLayoutChange:
        if (active_)
            LayoutChanged();
        break;
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(static_cast<TField**>(info));
        break;
    }
}

void TDataLink::dataSourceDestroyed() {
    dataSource_ = nullptr;
    UpdateState();
}
