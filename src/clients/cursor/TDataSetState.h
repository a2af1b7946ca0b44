#pragma once

// The states of a table cursor. The cursor is inactive while closed, browses
// when open, and holds one record in edit or insert state while it is changed.
enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// The notifications a cursor sends through its data sources to the bound
// controls (see TDataLink for the hook each one reaches).
enum TDataEvent {
    deFieldChange,     // one field of the current record got a new value (info: the field)
    deRecordChange,    // the whole current record got new values (entering edit state)
    deDataSetChange,   // the visible records were read afresh
    deDataSetScroll,   // the cursor moved by the buffered records (info: distance)
    deLayoutChange,    // the field list changed
    deUpdateRecord,    // bound controls: write your changed texts into the fields
    deUpdateState,     // the cursor opened, closed, or entered or left edit/insert state
    deCheckBrowseMode, // sent before a post, a cancel, a delete and any move
    deFocusControl     // put the focus on the control of a field (info: TField**)
};
