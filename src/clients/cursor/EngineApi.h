#pragma once

#include "kartoteka_engine.h"

// The engine's entry points, resolved from the loaded library.
struct EngineApi {
    decltype(&ke_init) init = nullptr;
    decltype(&ke_exit) exit = nullptr;
    decltype(&ke_open_database) open_database = nullptr;
    decltype(&ke_close_database) close_database = nullptr;
    decltype(&ke_set_directory) set_directory = nullptr;
    decltype(&ke_open_table) open_table = nullptr;
    decltype(&ke_close_cursor) close_cursor = nullptr;
    decltype(&ke_get_cursor_props) get_cursor_props = nullptr;
    decltype(&ke_get_field_descs) get_field_descs = nullptr;
    decltype(&ke_set_to_begin) set_to_begin = nullptr;
    decltype(&ke_set_to_end) set_to_end = nullptr;
    decltype(&ke_get_record) get_record = nullptr;
    decltype(&ke_get_next_record) get_next_record = nullptr;
    decltype(&ke_get_prior_record) get_prior_record = nullptr;
    decltype(&ke_init_record) init_record = nullptr;
    decltype(&ke_get_field) get_field = nullptr;
    decltype(&ke_put_field) put_field = nullptr;
    decltype(&ke_verify_field) verify_field = nullptr;
    decltype(&ke_make_insertion_point) make_insertion_point = nullptr;
    decltype(&ke_insert_record) insert_record = nullptr;
    decltype(&ke_modify_record) modify_record = nullptr;
    decltype(&ke_delete_record) delete_record = nullptr;
    decltype(&ke_release_record_lock) release_record_lock = nullptr;
    decltype(&ke_add_password) add_password = nullptr;
    decltype(&ke_drop_password) drop_password = nullptr;
    decltype(&ke_error_text) error_text = nullptr;
    decltype(&ke_error_entry) error_entry = nullptr;
    decltype(&ke_native_to_unicode) native_to_unicode = nullptr;
    decltype(&ke_unicode_to_native) unicode_to_native = nullptr;
};
