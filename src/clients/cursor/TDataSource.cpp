#include "TDataSource.h"

#include "TDataLink.h"
#include "TTable.h"

#include <algorithm>

TDataSource::TDataSource(QObject* owner) : QObject(owner) {}

TDataSource::~TDataSource() {
    if (dataSet_)
        dataSet_->removeDataSource(this);
    dataSet_ = nullptr;
    for (TDataLink* link : std::vector<TDataLink*>(links_))
        link->dataSourceDestroyed();
}

void TDataSource::setDataSet(TTable* table) {
    if (dataSet_ == table)
        return;
    if (dataSet_)
        dataSet_->removeDataSource(this);
    dataSet_ = table;
    if (dataSet_)
        dataSet_->addDataSource(this);
    dataEvent(deUpdateState, nullptr);
}

TDataSetState TDataSource::State() const {
    return dataSet_ ? dataSet_->State() : dsInactive;
}

void TDataSource::Edit() {
    if (autoEdit_ && dataSet_ && dataSet_->State() == dsBrowse)
        dataSet_->Edit();
}

void TDataSource::dataEvent(TDataEvent event, void* info) {
    for (TDataLink* link : std::vector<TDataLink*>(links_))
        if (std::find(links_.begin(), links_.end(), link) != links_.end())
            link->dataEvent(event, info);
}

void TDataSource::addLink(TDataLink* link) {
    if (std::find(links_.begin(), links_.end(), link) == links_.end())
        links_.push_back(link);
}

void TDataSource::removeLink(TDataLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

void TDataSource::dataSetDestroyed() {
    dataSet_ = nullptr;
    dataEvent(deUpdateState, nullptr);
}
