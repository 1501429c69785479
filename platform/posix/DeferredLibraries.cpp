// The system libraries that only drawing and the editor's window need (xcb and its shared-memory
// extension, FreeType, fontconfig, libpng, libdbus for the file chooser), opened at their first use
// instead of with the plug-in. Linked, they and the libraries they need in turn were mapped,
// relocated and initialised by every host that loads the plug-in, also when it is only scanned or
// never shows its editor: that was most of the time a host waited for the first instance. Each
// function the plug-in calls is defined here under its own name, with the signature its library's
// header declares (the compiler checks the two agree), and calls the library's function, found the
// first time any function of that library is called.
//
// Compiled into the plug-in module only; tests and tools link the libraries as usual. A function
// used elsewhere in the plug-in but missing here links the library again, which the test of the
// module's needed libraries reports.
//
// A library that cannot be opened, or lacks one of the functions, makes all its functions answer
// as the library answers a failure (no connection, an error code, no font, no image), so the
// editor stays closed or draws no text instead of taking the host down.
#include <dbus/dbus.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <png.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <array>
#include <cstdarg>
#include <cstddef>
#include <iterator>
#include <mutex>
#include <type_traits>

// One entry per function: return type, name, parameters, the call's arguments, and what it
// answers when its library is missing.
#define RHYTHMORIA_XCB_FUNCTIONS(F)                                                                \
  F(xcb_void_cookie_t, xcb_change_property,                                                        \
    (xcb_connection_t * c, uint8_t mode, xcb_window_t window, xcb_atom_t property,                 \
     xcb_atom_t type, uint8_t format, uint32_t data_len, const void* data),                        \
    (c, mode, window, property, type, format, data_len, data), {})                                 \
  F(xcb_void_cookie_t, xcb_change_window_attributes,                                               \
    (xcb_connection_t * c, xcb_window_t window, uint32_t value_mask, const void* value_list),      \
    (c, window, value_mask, value_list), {})                                                       \
  F(xcb_void_cookie_t, xcb_configure_window,                                                       \
    (xcb_connection_t * c, xcb_window_t window, uint16_t value_mask, const void* value_list),      \
    (c, window, value_mask, value_list), {})                                                       \
  F(xcb_connection_t*, xcb_connect, (const char* displayname, int* screenp),                       \
    (displayname, screenp), nullptr)                                                               \
  F(int, xcb_connection_has_error, (xcb_connection_t * c), (c), XCB_CONN_ERROR)                    \
  F(xcb_void_cookie_t, xcb_convert_selection,                                                      \
    (xcb_connection_t * c, xcb_window_t requestor, xcb_atom_t selection, xcb_atom_t target,        \
     xcb_atom_t property, xcb_timestamp_t time),                                                   \
    (c, requestor, selection, target, property, time), {})                                         \
  F(xcb_void_cookie_t, xcb_create_cursor,                                                          \
    (xcb_connection_t * c, xcb_cursor_t cid, xcb_pixmap_t source, xcb_pixmap_t mask,               \
     uint16_t fore_red, uint16_t fore_green, uint16_t fore_blue, uint16_t back_red,                \
     uint16_t back_green, uint16_t back_blue, uint16_t x, uint16_t y),                             \
    (c, cid, source, mask, fore_red, fore_green, fore_blue, back_red, back_green, back_blue, x,    \
     y),                                                                                           \
    {})                                                                                            \
  F(xcb_void_cookie_t, xcb_create_gc,                                                              \
    (xcb_connection_t * c, xcb_gcontext_t cid, xcb_drawable_t drawable, uint32_t value_mask,       \
     const void* value_list),                                                                      \
    (c, cid, drawable, value_mask, value_list), {})                                                \
  F(xcb_void_cookie_t, xcb_create_pixmap,                                                          \
    (xcb_connection_t * c, uint8_t depth, xcb_pixmap_t pid, xcb_drawable_t drawable,               \
     uint16_t width, uint16_t height),                                                             \
    (c, depth, pid, drawable, width, height), {})                                                  \
  F(xcb_void_cookie_t, xcb_create_window,                                                          \
    (xcb_connection_t * c, uint8_t depth, xcb_window_t wid, xcb_window_t parent, int16_t x,        \
     int16_t y, uint16_t width, uint16_t height, uint16_t border_width, uint16_t _class,           \
     xcb_visualid_t visual, uint32_t value_mask, const void* value_list),                          \
    (c, depth, wid, parent, x, y, width, height, border_width, _class, visual, value_mask,         \
     value_list),                                                                                  \
    {})                                                                                            \
  F(xcb_void_cookie_t, xcb_create_window_checked,                                                  \
    (xcb_connection_t * c, uint8_t depth, xcb_window_t wid, xcb_window_t parent, int16_t x,        \
     int16_t y, uint16_t width, uint16_t height, uint16_t border_width, uint16_t _class,           \
     xcb_visualid_t visual, uint32_t value_mask, const void* value_list),                          \
    (c, depth, wid, parent, x, y, width, height, border_width, _class, visual, value_mask,         \
     value_list),                                                                                  \
    {})                                                                                            \
  F(xcb_void_cookie_t, xcb_destroy_window, (xcb_connection_t * c, xcb_window_t window),            \
    (c, window), {})                                                                               \
  F(void, xcb_disconnect, (xcb_connection_t * c), (c), void())                                     \
  F(int, xcb_flush, (xcb_connection_t * c), (c), 0)                                                \
  F(xcb_void_cookie_t, xcb_free_gc, (xcb_connection_t * c, xcb_gcontext_t gc), (c, gc), {})        \
  F(xcb_void_cookie_t, xcb_free_pixmap, (xcb_connection_t * c, xcb_pixmap_t pixmap), (c, pixmap),  \
    {})                                                                                            \
  F(uint32_t, xcb_generate_id, (xcb_connection_t * c), (c), 0)                                     \
  F(const xcb_query_extension_reply_t*, xcb_get_extension_data,                                    \
    (xcb_connection_t * c, xcb_extension_t * ext), (c, ext), nullptr)                              \
  F(xcb_get_input_focus_cookie_t, xcb_get_input_focus, (xcb_connection_t * c), (c), {})            \
  F(xcb_get_input_focus_reply_t*, xcb_get_input_focus_reply,                                       \
    (xcb_connection_t * c, xcb_get_input_focus_cookie_t cookie, xcb_generic_error_t * *e),         \
    (c, cookie, e), nullptr)                                                                       \
  F(int, xcb_get_file_descriptor, (xcb_connection_t * c), (c), -1)                                 \
  F(xcb_get_geometry_cookie_t, xcb_get_geometry, (xcb_connection_t * c, xcb_drawable_t drawable),  \
    (c, drawable), {})                                                                             \
  F(xcb_get_geometry_reply_t*, xcb_get_geometry_reply,                                             \
    (xcb_connection_t * c, xcb_get_geometry_cookie_t cookie, xcb_generic_error_t * *e),            \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_get_keyboard_mapping_cookie_t, xcb_get_keyboard_mapping,                                   \
    (xcb_connection_t * c, xcb_keycode_t first_keycode, uint8_t count), (c, first_keycode, count), \
    {})                                                                                            \
  F(xcb_keysym_t*, xcb_get_keyboard_mapping_keysyms, (const xcb_get_keyboard_mapping_reply_t* R),  \
    (R), nullptr)                                                                                  \
  F(int, xcb_get_keyboard_mapping_keysyms_length, (const xcb_get_keyboard_mapping_reply_t* R),     \
    (R), 0)                                                                                        \
  F(xcb_get_keyboard_mapping_reply_t*, xcb_get_keyboard_mapping_reply,                             \
    (xcb_connection_t * c, xcb_get_keyboard_mapping_cookie_t cookie, xcb_generic_error_t * *e),    \
    (c, cookie, e), nullptr)                                                                       \
  F(uint32_t, xcb_get_maximum_request_length, (xcb_connection_t * c), (c), 0)                      \
  F(xcb_get_property_cookie_t, xcb_get_property,                                                   \
    (xcb_connection_t * c, uint8_t _delete, xcb_window_t window, xcb_atom_t property,              \
     xcb_atom_t type, uint32_t long_offset, uint32_t long_length),                                 \
    (c, _delete, window, property, type, long_offset, long_length), {})                            \
  F(xcb_get_property_reply_t*, xcb_get_property_reply,                                             \
    (xcb_connection_t * c, xcb_get_property_cookie_t cookie, xcb_generic_error_t * *e),            \
    (c, cookie, e), nullptr)                                                                       \
  F(void*, xcb_get_property_value, (const xcb_get_property_reply_t* R), (R), nullptr)              \
  F(int, xcb_get_property_value_length, (const xcb_get_property_reply_t* R), (R), 0)               \
  F(const xcb_setup_t*, xcb_get_setup, (xcb_connection_t * c), (c), nullptr)                       \
  F(xcb_grab_keyboard_cookie_t, xcb_grab_keyboard,                                                 \
    (xcb_connection_t * c, uint8_t owner_events, xcb_window_t grab_window, xcb_timestamp_t time,   \
     uint8_t pointer_mode, uint8_t keyboard_mode),                                                 \
    (c, owner_events, grab_window, time, pointer_mode, keyboard_mode), {})                         \
  F(xcb_grab_keyboard_reply_t*, xcb_grab_keyboard_reply,                                           \
    (xcb_connection_t * c, xcb_grab_keyboard_cookie_t cookie, xcb_generic_error_t * *e),           \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_grab_pointer_cookie_t, xcb_grab_pointer,                                                   \
    (xcb_connection_t * c, uint8_t owner_events, xcb_window_t grab_window, uint16_t event_mask,    \
     uint8_t pointer_mode, uint8_t keyboard_mode, xcb_window_t confine_to, xcb_cursor_t cursor,    \
     xcb_timestamp_t time),                                                                        \
    (c, owner_events, grab_window, event_mask, pointer_mode, keyboard_mode, confine_to, cursor,    \
     time),                                                                                        \
    {})                                                                                            \
  F(xcb_grab_pointer_reply_t*, xcb_grab_pointer_reply,                                             \
    (xcb_connection_t * c, xcb_grab_pointer_cookie_t cookie, xcb_generic_error_t * *e),            \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_intern_atom_cookie_t, xcb_intern_atom,                                                     \
    (xcb_connection_t * c, uint8_t only_if_exists, uint16_t name_len, const char* name),           \
    (c, only_if_exists, name_len, name), {})                                                       \
  F(xcb_intern_atom_reply_t*, xcb_intern_atom_reply,                                               \
    (xcb_connection_t * c, xcb_intern_atom_cookie_t cookie, xcb_generic_error_t * *e),             \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_void_cookie_t, xcb_map_window, (xcb_connection_t * c, xcb_window_t window), (c, window),   \
    {})                                                                                            \
  F(xcb_generic_event_t*, xcb_poll_for_event, (xcb_connection_t * c), (c), nullptr)                \
  F(xcb_void_cookie_t, xcb_put_image,                                                              \
    (xcb_connection_t * c, uint8_t format, xcb_drawable_t drawable, xcb_gcontext_t gc,             \
     uint16_t width, uint16_t height, int16_t dst_x, int16_t dst_y, uint8_t left_pad,              \
     uint8_t depth, uint32_t data_len, const uint8_t* data),                                       \
    (c, format, drawable, gc, width, height, dst_x, dst_y, left_pad, depth, data_len, data), {})   \
  F(xcb_query_pointer_cookie_t, xcb_query_pointer, (xcb_connection_t * c, xcb_window_t window),    \
    (c, window), {})                                                                               \
  F(xcb_query_pointer_reply_t*, xcb_query_pointer_reply,                                           \
    (xcb_connection_t * c, xcb_query_pointer_cookie_t cookie, xcb_generic_error_t * *e),           \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_query_tree_cookie_t, xcb_query_tree, (xcb_connection_t * c, xcb_window_t window),          \
    (c, window), {})                                                                               \
  F(xcb_query_tree_reply_t*, xcb_query_tree_reply,                                                 \
    (xcb_connection_t * c, xcb_query_tree_cookie_t cookie, xcb_generic_error_t * *e),              \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_generic_error_t*, xcb_request_check, (xcb_connection_t * c, xcb_void_cookie_t cookie),     \
    (c, cookie), nullptr)                                                                          \
  F(void, xcb_screen_next, (xcb_screen_iterator_t * i), (i), void())                               \
  F(xcb_void_cookie_t, xcb_send_event,                                                             \
    (xcb_connection_t * c, uint8_t propagate, xcb_window_t destination, uint32_t event_mask,       \
     const char* event),                                                                           \
    (c, propagate, destination, event_mask, event), {})                                            \
  F(xcb_void_cookie_t, xcb_set_input_focus,                                                        \
    (xcb_connection_t * c, uint8_t revert_to, xcb_window_t focus, xcb_timestamp_t time),           \
    (c, revert_to, focus, time), {})                                                               \
  F(xcb_screen_iterator_t, xcb_setup_roots_iterator, (const xcb_setup_t* R), (R), {})              \
  F(xcb_translate_coordinates_cookie_t, xcb_translate_coordinates,                                 \
    (xcb_connection_t * c, xcb_window_t src_window, xcb_window_t dst_window, int16_t src_x,        \
     int16_t src_y),                                                                               \
    (c, src_window, dst_window, src_x, src_y), {})                                                 \
  F(xcb_translate_coordinates_reply_t*, xcb_translate_coordinates_reply,                           \
    (xcb_connection_t * c, xcb_translate_coordinates_cookie_t cookie, xcb_generic_error_t * *e),   \
    (c, cookie, e), nullptr)                                                                       \
  F(xcb_void_cookie_t, xcb_ungrab_keyboard, (xcb_connection_t * c, xcb_timestamp_t time),          \
    (c, time), {})                                                                                 \
  F(xcb_void_cookie_t, xcb_ungrab_pointer, (xcb_connection_t * c, xcb_timestamp_t time),           \
    (c, time), {})                                                                                 \
  F(xcb_void_cookie_t, xcb_warp_pointer,                                                           \
    (xcb_connection_t * c, xcb_window_t src_window, xcb_window_t dst_window, int16_t src_x,        \
     int16_t src_y, uint16_t src_width, uint16_t src_height, int16_t dst_x, int16_t dst_y),        \
    (c, src_window, dst_window, src_x, src_y, src_width, src_height, dst_x, dst_y), {})

// The shared-memory extension's requests. The extension's descriptor is data, not a function: the
// plug-in keeps its own, which libxcb fills in when it first asks the server about the extension.
// With libxcb-shm missing the version query answers nothing, and the editor paints through the
// socket.
#define RHYTHMORIA_XCB_SHM_FUNCTIONS(F)                                                           \
  F(xcb_void_cookie_t, xcb_shm_attach_checked,                                                    \
    (xcb_connection_t * c, xcb_shm_seg_t shmseg, uint32_t shmid, uint8_t read_only),              \
    (c, shmseg, shmid, read_only), {})                                                            \
  F(xcb_void_cookie_t, xcb_shm_detach, (xcb_connection_t * c, xcb_shm_seg_t shmseg), (c, shmseg), \
    {})                                                                                           \
  F(xcb_void_cookie_t, xcb_shm_put_image,                                                         \
    (xcb_connection_t * c, xcb_drawable_t drawable, xcb_gcontext_t gc, uint16_t total_width,      \
     uint16_t total_height, uint16_t src_x, uint16_t src_y, uint16_t src_width,                   \
     uint16_t src_height, int16_t dst_x, int16_t dst_y, uint8_t depth, uint8_t format,            \
     uint8_t send_event, xcb_shm_seg_t shmseg, uint32_t offset),                                  \
    (c, drawable, gc, total_width, total_height, src_x, src_y, src_width, src_height, dst_x,      \
     dst_y, depth, format, send_event, shmseg, offset),                                           \
    {})                                                                                           \
  F(xcb_shm_query_version_cookie_t, xcb_shm_query_version, (xcb_connection_t * c), (c), {})       \
  F(xcb_shm_query_version_reply_t*, xcb_shm_query_version_reply,                                  \
    (xcb_connection_t * c, xcb_shm_query_version_cookie_t cookie, xcb_generic_error_t * *e),      \
    (c, cookie, e), nullptr)

// The desktop portal's file chooser. Without libdbus no bus connection is made, and files are
// asked for the other ways. dbus_message_get_args takes variable arguments and is written out
// below over its va_list form.
#define RHYTHMORIA_DBUS_FUNCTIONS(F)                                                               \
  F(void, dbus_bus_add_match, (DBusConnection * connection, const char* rule, DBusError* error),   \
    (connection, rule, error), void())                                                             \
  F(DBusConnection*, dbus_bus_get_private, (DBusBusType type, DBusError * error), (type, error),   \
    nullptr)                                                                                       \
  F(const char*, dbus_bus_get_unique_name, (DBusConnection * connection), (connection), nullptr)   \
  F(dbus_bool_t, dbus_connection_add_filter,                                                       \
    (DBusConnection * connection, DBusHandleMessageFunction handler, void* user_data,              \
     DBusFreeFunction free_data_function),                                                         \
    (connection, handler, user_data, free_data_function), FALSE)                                   \
  F(void, dbus_connection_close, (DBusConnection * connection), (connection), void())              \
  F(void, dbus_connection_flush, (DBusConnection * connection), (connection), void())              \
  F(dbus_bool_t, dbus_connection_read_write_dispatch,                                              \
    (DBusConnection * connection, int timeout_milliseconds), (connection, timeout_milliseconds),   \
    FALSE)                                                                                         \
  F(void, dbus_connection_remove_filter,                                                           \
    (DBusConnection * connection, DBusHandleMessageFunction handler, void* user_data),             \
    (connection, handler, user_data), void())                                                      \
  F(dbus_bool_t, dbus_connection_send,                                                             \
    (DBusConnection * connection, DBusMessage * message, dbus_uint32_t * client_serial),           \
    (connection, message, client_serial), FALSE)                                                   \
  F(dbus_bool_t, dbus_connection_send_with_reply,                                                  \
    (DBusConnection * connection, DBusMessage * message, DBusPendingCall * *pending_return,        \
     int timeout_milliseconds),                                                                    \
    (connection, message, pending_return, timeout_milliseconds), FALSE)                            \
  F(void, dbus_connection_set_exit_on_disconnect,                                                  \
    (DBusConnection * connection, dbus_bool_t exit_on_disconnect),                                 \
    (connection, exit_on_disconnect), void())                                                      \
  F(void, dbus_connection_unref, (DBusConnection * connection), (connection), void())              \
  F(void, dbus_error_free, (DBusError * error), (error), void())                                   \
  F(void, dbus_error_init, (DBusError * error), (error), void())                                   \
  F(dbus_bool_t, dbus_message_get_args_valist,                                                     \
    (DBusMessage * message, DBusError * error, int first_arg_type, va_list var_args),              \
    (message, error, first_arg_type, var_args), FALSE)                                             \
  F(const char*, dbus_message_get_path, (DBusMessage * message), (message), nullptr)               \
  F(int, dbus_message_get_type, (DBusMessage * message), (message), DBUS_MESSAGE_TYPE_INVALID)     \
  F(dbus_bool_t, dbus_message_is_signal,                                                           \
    (DBusMessage * message, const char* iface, const char* signal_name),                           \
    (message, iface, signal_name), FALSE)                                                          \
  F(dbus_bool_t, dbus_message_iter_append_basic,                                                   \
    (DBusMessageIter * iter, int type, const void* value), (iter, type, value), FALSE)             \
  F(dbus_bool_t, dbus_message_iter_append_fixed_array,                                             \
    (DBusMessageIter * iter, int element_type, const void* value, int n_elements),                 \
    (iter, element_type, value, n_elements), FALSE)                                                \
  F(dbus_bool_t, dbus_message_iter_close_container,                                                \
    (DBusMessageIter * iter, DBusMessageIter * sub), (iter, sub), FALSE)                           \
  F(int, dbus_message_iter_get_arg_type, (DBusMessageIter * iter), (iter), DBUS_TYPE_INVALID)      \
  F(void, dbus_message_iter_get_basic, (DBusMessageIter * iter, void* value), (iter, value),       \
    void())                                                                                        \
  F(dbus_bool_t, dbus_message_iter_init, (DBusMessage * message, DBusMessageIter * iter),          \
    (message, iter), FALSE)                                                                        \
  F(void, dbus_message_iter_init_append, (DBusMessage * message, DBusMessageIter * iter),          \
    (message, iter), void())                                                                       \
  F(dbus_bool_t, dbus_message_iter_next, (DBusMessageIter * iter), (iter), FALSE)                  \
  F(dbus_bool_t, dbus_message_iter_open_container,                                                 \
    (DBusMessageIter * iter, int type, const char* contained_signature, DBusMessageIter* sub),     \
    (iter, type, contained_signature, sub), FALSE)                                                 \
  F(void, dbus_message_iter_recurse, (DBusMessageIter * iter, DBusMessageIter * sub), (iter, sub), \
    void())                                                                                        \
  F(DBusMessage*, dbus_message_new_method_call,                                                    \
    (const char* bus_name, const char* path, const char* iface, const char* method),               \
    (bus_name, path, iface, method), nullptr)                                                      \
  F(void, dbus_message_set_no_reply, (DBusMessage * message, dbus_bool_t no_reply),                \
    (message, no_reply), void())                                                                   \
  F(void, dbus_message_unref, (DBusMessage * message), (message), void())                          \
  F(void, dbus_pending_call_cancel, (DBusPendingCall * pending), (pending), void())                \
  F(dbus_bool_t, dbus_pending_call_get_completed, (DBusPendingCall * pending), (pending), FALSE)   \
  F(DBusMessage*, dbus_pending_call_steal_reply, (DBusPendingCall * pending), (pending), nullptr)  \
  F(void, dbus_pending_call_unref, (DBusPendingCall * pending), (pending), void())

#define RHYTHMORIA_FREETYPE_FUNCTIONS(F)                                                          \
  F(FT_Error, FT_Done_Face, (FT_Face face), (face), FT_Err_Cannot_Open_Resource)                  \
  F(FT_Error, FT_Done_FreeType, (FT_Library library), (library), FT_Err_Cannot_Open_Resource)     \
  F(FT_UInt, FT_Get_Char_Index, (FT_Face face, FT_ULong charcode), (face, charcode), 0)           \
  F(void*, FT_Get_Sfnt_Table, (FT_Face face, FT_Sfnt_Tag tag), (face, tag), nullptr)              \
  F(void, FT_GlyphSlot_Embolden, (FT_GlyphSlot slot), (slot), void())                             \
  F(FT_Error, FT_Init_FreeType, (FT_Library * alibrary), (alibrary), FT_Err_Cannot_Open_Resource) \
  F(FT_Error, FT_Load_Glyph, (FT_Face face, FT_UInt glyph_index, FT_Int32 load_flags),            \
    (face, glyph_index, load_flags), FT_Err_Cannot_Open_Resource)                                 \
  F(FT_Error, FT_New_Face,                                                                        \
    (FT_Library library, const char* filepathname, FT_Long face_index, FT_Face* aface),           \
    (library, filepathname, face_index, aface), FT_Err_Cannot_Open_Resource)                      \
  F(FT_Error, FT_Render_Glyph, (FT_GlyphSlot slot, FT_Render_Mode render_mode),                   \
    (slot, render_mode), FT_Err_Cannot_Open_Resource)                                             \
  F(FT_Error, FT_Set_Char_Size,                                                                   \
    (FT_Face face, FT_F26Dot6 char_width, FT_F26Dot6 char_height, FT_UInt horz_resolution,        \
     FT_UInt vert_resolution),                                                                    \
    (face, char_width, char_height, horz_resolution, vert_resolution),                            \
    FT_Err_Cannot_Open_Resource)                                                                  \
  F(void, FT_Set_Transform, (FT_Face face, FT_Matrix * matrix, FT_Vector * delta),                \
    (face, matrix, delta), void())

#define RHYTHMORIA_FONTCONFIG_FUNCTIONS(F)                                                      \
  F(FcBool, FcConfigSubstitute, (FcConfig * config, FcPattern * p, FcMatchKind kind),           \
    (config, p, kind), FcFalse)                                                                 \
  F(void, FcDefaultSubstitute, (FcPattern * pattern), (pattern), void())                        \
  F(FcPattern*, FcFontMatch, (FcConfig * config, FcPattern * p, FcResult * result),             \
    (config, p, result), nullptr)                                                               \
  F(FcBool, FcInit, (), (), FcFalse)                                                            \
  F(FcBool, FcPatternAddBool, (FcPattern * p, const char* object, FcBool b), (p, object, b),    \
    FcFalse)                                                                                    \
  F(FcBool, FcPatternAddInteger, (FcPattern * p, const char* object, int i), (p, object, i),    \
    FcFalse)                                                                                    \
  F(FcBool, FcPatternAddString, (FcPattern * p, const char* object, const FcChar8* s),          \
    (p, object, s), FcFalse)                                                                    \
  F(FcPattern*, FcPatternCreate, (), (), nullptr)                                               \
  F(void, FcPatternDestroy, (FcPattern * p), (p), void())                                       \
  F(FcResult, FcPatternGetInteger, (const FcPattern* p, const char* object, int n, int* i),     \
    (p, object, n, i), FcResultNoMatch)                                                         \
  F(FcResult, FcPatternGetString, (const FcPattern* p, const char* object, int n, FcChar8** s), \
    (p, object, n, s), FcResultNoMatch)

#define RHYTHMORIA_PNG_FUNCTIONS(F)                                                      \
  F(int, png_image_begin_read_from_memory,                                               \
    (png_imagep image, png_const_voidp memory, size_t size), (image, memory, size), 0)   \
  F(int, png_image_finish_read,                                                          \
    (png_imagep image, png_const_colorp background, void* buffer, png_int_32 row_stride, \
     void* colormap),                                                                    \
    (image, background, buffer, row_stride, colormap), 0)                                \
  F(void, png_image_free, (png_imagep image), (image), void())                           \
  F(int, png_image_write_to_file,                                                        \
    (png_imagep image, const char* file, int convert_to_8bit, const void* buffer,        \
     png_int_32 row_stride, const void* colormap),                                       \
    (image, file, convert_to_8bit, buffer, row_stride, colormap), 0)

namespace {

// Trivially destructible on purpose: the plug-in's own static objects (the font cache) call
// into these libraries from their destructors when the plug-in is unloaded, possibly after this
// object's lifetime would have ended.
template <std::size_t N>
class DeferredLibrary {
 public:
  constexpr DeferredLibrary(const char* soname, const char* const (&names)[N])
      : mSoname(soname), mNames(names) {}

  // The function with the given index, nullptr when the library is not usable.
  void* Function(std::size_t index) {
    std::call_once(mOnce, [this] { Open(); });
    return mUsable ? mFunctions[index] : nullptr;
  }

 private:
  void Open() {
    // Never closed: other threads may still be inside it, and the libraries keep process state.
    void* library = ::dlopen(mSoname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) return;
    for (std::size_t i = 0; i < N; ++i) {
      mFunctions[i] = ::dlsym(library, mNames[i]);
      if (!mFunctions[i]) return;
    }
    mUsable = true;
  }

  const char* mSoname;
  const char* const* mNames;
  std::once_flag mOnce;
  std::array<void*, N> mFunctions{};
  bool mUsable = false;
};

#define RHYTHMORIA_DEFERRED_NAME(ret, name, params, args, fallback) #name,
#define RHYTHMORIA_DEFERRED_INDEX(ret, name, params, args, fallback) k_##name,

#define RHYTHMORIA_DEFERRED_LIBRARY(Accessor, soname, FUNCTIONS)                      \
  constexpr const char* k##Accessor##Names[] = {FUNCTIONS(RHYTHMORIA_DEFERRED_NAME)}; \
  enum Accessor##Index{FUNCTIONS(RHYTHMORIA_DEFERRED_INDEX)};                         \
  using Accessor##Library = DeferredLibrary<std::size(k##Accessor##Names)>;           \
  static_assert(std::is_trivially_destructible_v<Accessor##Library>);                 \
  Accessor##Library& Accessor() {                                                     \
    static Accessor##Library library(soname, k##Accessor##Names);                     \
    return library;                                                                   \
  }

RHYTHMORIA_DEFERRED_LIBRARY(Xcb, "libxcb.so.1", RHYTHMORIA_XCB_FUNCTIONS)
RHYTHMORIA_DEFERRED_LIBRARY(XcbShm, "libxcb-shm.so.0", RHYTHMORIA_XCB_SHM_FUNCTIONS)
RHYTHMORIA_DEFERRED_LIBRARY(Dbus, "libdbus-1.so.3", RHYTHMORIA_DBUS_FUNCTIONS)
RHYTHMORIA_DEFERRED_LIBRARY(FreeType, "libfreetype.so.6", RHYTHMORIA_FREETYPE_FUNCTIONS)
RHYTHMORIA_DEFERRED_LIBRARY(Fontconfig, "libfontconfig.so.1", RHYTHMORIA_FONTCONFIG_FUNCTIONS)
RHYTHMORIA_DEFERRED_LIBRARY(Png, "libpng16.so.16", RHYTHMORIA_PNG_FUNCTIONS)

}  // namespace

#define RHYTHMORIA_DEFERRED_FORWARD(Accessor, ret, name, params, args, fallback) \
  extern "C" ret name params {                                                   \
    void* function = Accessor().Function(k_##name);                              \
    if (!function) return fallback;                                              \
    return reinterpret_cast<decltype(&name)>(function) args;                     \
  }
#define RHYTHMORIA_XCB_FORWARD(...) RHYTHMORIA_DEFERRED_FORWARD(Xcb, __VA_ARGS__)
#define RHYTHMORIA_XCB_SHM_FORWARD(...) RHYTHMORIA_DEFERRED_FORWARD(XcbShm, __VA_ARGS__)
#define RHYTHMORIA_DBUS_FORWARD(...) RHYTHMORIA_DEFERRED_FORWARD(Dbus, __VA_ARGS__)
#define RHYTHMORIA_FREETYPE_FORWARD(...) RHYTHMORIA_DEFERRED_FORWARD(FreeType, __VA_ARGS__)
#define RHYTHMORIA_FONTCONFIG_FORWARD(...) RHYTHMORIA_DEFERRED_FORWARD(Fontconfig, __VA_ARGS__)
#define RHYTHMORIA_PNG_FORWARD(...) RHYTHMORIA_DEFERRED_FORWARD(Png, __VA_ARGS__)

RHYTHMORIA_XCB_FUNCTIONS(RHYTHMORIA_XCB_FORWARD)
RHYTHMORIA_XCB_SHM_FUNCTIONS(RHYTHMORIA_XCB_SHM_FORWARD)
RHYTHMORIA_DBUS_FUNCTIONS(RHYTHMORIA_DBUS_FORWARD)
RHYTHMORIA_FREETYPE_FUNCTIONS(RHYTHMORIA_FREETYPE_FORWARD)
RHYTHMORIA_FONTCONFIG_FUNCTIONS(RHYTHMORIA_FONTCONFIG_FORWARD)
RHYTHMORIA_PNG_FUNCTIONS(RHYTHMORIA_PNG_FORWARD)

extern "C" {
xcb_extension_t xcb_shm_id = {"MIT-SHM", 0};
}

extern "C" dbus_bool_t dbus_message_get_args(DBusMessage* message, DBusError* error,
                                             int first_arg_type, ...) {
  va_list args;
  va_start(args, first_arg_type);
  const dbus_bool_t result = dbus_message_get_args_valist(message, error, first_arg_type, args);
  va_end(args);
  return result;
}
