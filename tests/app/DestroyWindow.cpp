// Another program destroying KVC410's window behind its back: destroys every top-level window on
// $DISPLAY whose name starts with the argument. Exits 0 when it destroyed at least one.

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    const std::string prefix = argc > 1 ? argv[1] : "Quillmark Charger";
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        return 2;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    int destroyed = 0;
    if (tree != nullptr) {
        xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            xcb_get_property_reply_t* name =
                xcb_get_property_reply(c,
                                       xcb_get_property(c, 0, children[i], XCB_ATOM_WM_NAME,
                                                        XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                       nullptr);
            if (name != nullptr) {
                std::string text(static_cast<const char*>(xcb_get_property_value(name)),
                                 xcb_get_property_value_length(name));
                if (text.rfind(prefix, 0) == 0) {
                    xcb_destroy_window(c, children[i]);
                    ++destroyed;
                }
                std::free(name);
            }
        }
        std::free(tree);
    }
    // A round trip before going: the server has then carried out the destroy requests (sent
    // just before a disconnection, they may otherwise be dropped with it).
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return destroyed > 0 ? 0 : 1;
}
