// SPDX-License-Identifier: MIT
// The address entry: the device's address, the computer's own address, the carried version.
#include <array>
#include <cstring>
#include <string>

#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/ansi_text.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"
#include "ui_log.h"

namespace {

// Four fields of up to three digits and three dots, as the Windows address control yields.
constexpr int kAddressEntryLength = 15;

// Only digits, "." and "*" (the telephone keypad's separator) get into the address entry.
void keepAddressCharacters(GtkEditable* editable, const gchar* text, gint length, gint*, gpointer) {
    const std::size_t size = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || c == '.' || c == '*')) {
            g_signal_stop_emission_by_name(editable, "insert-text");
            gtk_widget_error_bell(GTK_WIDGET(editable));
            return;
        }
    }
}

GtkWidget* newAddressEntry() {
    GtkWidget* entry = gtk_entry_new();
    gtk_widget_set_name(entry, "address-entry");
    gtk_entry_set_max_length(GTK_ENTRY(entry), kAddressEntryLength);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), kAddressEntryLength);
    gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_NUMBER);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    g_signal_connect(entry, "insert-text", G_CALLBACK(keepAddressCharacters), nullptr);
    return entry;
}

// The computer's addresses in the order start-up found them (not sorted), the first selected.
GtkWidget* newLocalAddressList(std::span<const std::uint32_t> addresses, std::size_t selected) {
    GtkWidget* list = gtk_combo_box_text_new();
    gtk_widget_set_name(list, "local-addresses");
    for (const std::uint32_t address : addresses)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list), addressText(address).data());
    // None when the list is empty.
    gtk_combo_box_set_active(GTK_COMBO_BOX(list),
                             selected < addresses.size() ? static_cast<gint>(selected) : 0);
    return list;
}

// The help above the entry ends asking for the address: that request is the entry's caption,
// its mnemonic on "IP address".
GtkWidget* newHelpPanel(GtkWidget* entry) {
    const std::string text = flowingText(displayText(translated(kAddressHelpText)));
    const std::size_t request = text.rfind('\n');
    const std::string_view ask =
        std::string_view(text).substr(request == std::string::npos ? 0 : request + 1);
    GtkWidget* panel = newTextPanel(translated(kAddressHelpText));
    gtk_label_set_text_with_mnemonic(
        GTK_LABEL(panel),
        (withMnemonic(text.substr(0, text.size() - ask.size()), "") + withMnemonic(ask, "IP"))
            .c_str());
    gtk_label_set_mnemonic_widget(GTK_LABEL(panel), entry);
    std::string name(ask);
    if (!name.empty() && name.back() == ':')
        name.pop_back();
    setAccessibleName(entry, name.c_str());
    return panel;
}

GtkWidget* findNamed(GtkWidget* root, const char* name) {
    if (std::strcmp(gtk_widget_get_name(root), name) == 0)
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GtkWidget* found = nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next)
        found = findNamed(GTK_WIDGET(child->data), name);
    g_list_free(children);
    return found;
}

// Where the image comes from, when that is worth a word: a file (by its name) or the test image.
GtkWidget* newImageSourceLabel(const AddressDialogView& view) {
    if (view.imageFile == nullptr && !view.testImage)
        return nullptr;
    std::string text =
        displayText(view.testImage ? translated(N_("Test image, for simulated TOVs only"))
                                   : translated(N_("Image file")));
    if (view.imageFile != nullptr) {
        gchar* name = g_filename_display_basename(view.imageFile);
        text += std::string(view.testImage ? " (" : ": ") + name + (view.testImage ? ")" : "");
        g_free(name);
    }
    GtkWidget* label = gtk_label_new(text.c_str()); // UTF-8 already, as GLib gives file names
    gtk_widget_set_name(label, "image-source");
    if (view.imageSha256 != nullptr)
        gtk_widget_set_tooltip_text(label, (std::string("SHA-256 ") + view.imageSha256).c_str());
    return label;
}

GtkWidget* buildAddress(const AddressDialogView& view) {
    GtkWidget* dialog = newDialogWindow(programTitle(view.productName, translated).data());
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(translated(kAddressIntroText)), 0, 0, 1, 1);
    GtkWidget* icon = gtk_image_new();
    if (GdkPixbuf* pixbuf = programIcon(32)) {
        gtk_image_set_from_pixbuf(GTK_IMAGE(icon), pixbuf);
        g_object_unref(pixbuf);
    }
    gtk_grid_attach(grid, icon, 1, 0, 1, 2);
    gtk_grid_attach(grid, newLabel(versionLabel(view.imageVersion, translated).data(), 0.5f), 0, 1,
                    1, 1);
    GtkWidget* entry = newAddressEntry();
    if (view.typedAddress != nullptr) // asked again: the address stays for correction
        gtk_entry_set_text(GTK_ENTRY(entry), displayText(view.typedAddress).c_str());
    gtk_grid_attach(grid, newHelpPanel(entry), 0, 2, 2, 1);
    gtk_widget_set_halign(entry, GTK_ALIGN_CENTER);
    gtk_grid_attach(grid, entry, 0, 3, 2, 1);
    addDialogButtons(
        dialog,
        {{translated(kCancelButton), "C", kCancel}, {translated(kOkButton), "O", kAffirmative}},
        kAffirmative);
    GtkWidget* local = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    GtkWidget* list = newLocalAddressList(view.localAddresses, view.selectedAddress);
    gtk_box_pack_start(GTK_BOX(local), newCaption(translated(kYourAddressLabel), "Y", list, 0.0f),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(local), list, TRUE, TRUE, 0);
    gtk_grid_attach(grid, local, 0, 4, 2, 1);
    if (GtkWidget* source = newImageSourceLabel(view))
        gtk_grid_attach(grid, source, 0, 5, 2, 1);
    setInitialFocus(dialog, entry);
    return dialog;
}

void refocusEntry(GtkDialog* box, int, gpointer dialog) {
    logUiLine("close: invalid-address 1");
    gtk_widget_destroy(GTK_WIDGET(box));
    gtk_widget_grab_focus(findNamed(GTK_WIDGET(dialog), "address-entry"));
    logUiLine("focus: address-entry");
}

// The address stays in the entry for correction; the box belongs to the dialog.
void showInvalidAddress(GtkWidget* dialog) {
    GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(dialog), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                            GTK_BUTTONS_NONE, "%s",
                                            displayText(translated(kInvalidAddressText)).c_str());
    gtk_window_set_title(GTK_WINDOW(box), displayText(translated(kInvalidAddressTitle)).c_str());
    gtk_dialog_add_button(GTK_DIALOG(box),
                          withMnemonic(displayText(translated(kOkButton)), "O").c_str(),
                          kAffirmative);
    gtk_dialog_set_default_response(GTK_DIALOG(box), kAffirmative);
    gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
    g_signal_connect(box, "response", G_CALLBACK(refocusEntry), dialog);
    gtk_widget_show_all(box);
    logWindowContents(box, "invalid-address");
}

int answerAddress(GtkWidget* dialog, int response, const AddressDialogView& view,
                  AddressChoice& choice) {
    if (response != kAffirmative)
        return 0; // nothing stored
    GtkWidget* entry = findNamed(dialog, "address-entry");
    GtkWidget* list = findNamed(dialog, "local-addresses");
    const std::string typed = ansiText(gtk_entry_get_text(GTK_ENTRY(entry)));
    if (acceptAddressEntry(typed, gtk_combo_box_get_active(GTK_COMBO_BOX(list)),
                           view.localAddresses, choice))
        return 1;
    showInvalidAddress(dialog);
    return kKeepOpen;
}

} // namespace

bool runAddressDialog(const AddressDialogView& view, AddressChoice& choice) {
    return runModalDialog(
               "address", [&view] { return buildAddress(view); },
               [&view, &choice](GtkWidget* dialog, int response) {
                   return answerAddress(dialog, response, view, choice);
               }) == 1;
}
