#include "platform/PrintDialog.h"

#include <gtk/gtk.h>

namespace platform {

namespace {

std::function<bool(const PrintJob&)>& Handler() {
    static std::function<bool(const PrintJob&)> handler;
    return handler;
}

void OnBeginPrint(GtkPrintOperation* operation, GtkPrintContext* context, gpointer data) {
    const auto* job = static_cast<const PrintJob*>(data);
    // The dialog shows page ranges; the job always prints every page.
    if (GtkPrintSettings* settings = gtk_print_operation_get_print_settings(operation)) {
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_ALL);
    }
    PrintTarget target;
    target.dpiX = gtk_print_context_get_dpi_x(context);
    target.dpiY = gtk_print_context_get_dpi_y(context);
    target.widthPx = gtk_print_context_get_width(context);
    target.heightPx = gtk_print_context_get_height(context);
    const int pages = job->begin ? job->begin(target) : 0;
    gtk_print_operation_set_n_pages(operation, pages > 0 ? pages : 1);
}

void OnDrawPage(GtkPrintOperation*, GtkPrintContext* context, gint page, gpointer data) {
    const auto* job = static_cast<const PrintJob*>(data);
    if (job->drawPage) {
        job->drawPage(page, gtk_print_context_get_cairo_context(context));
    }
}

bool GtkPrint(const PrintJob& job) {
    GtkPrintOperation* operation = gtk_print_operation_new();
    gtk_print_operation_set_job_name(operation, job.jobName.c_str());
    gtk_print_operation_set_unit(operation, GTK_UNIT_NONE);
    gtk_print_operation_set_support_selection(operation, FALSE);
    gtk_print_operation_set_has_selection(operation, FALSE);
    gtk_print_operation_set_embed_page_setup(operation, TRUE);
    g_signal_connect(operation, "begin-print", G_CALLBACK(OnBeginPrint),
                     const_cast<PrintJob*>(&job));
    g_signal_connect(operation, "draw-page", G_CALLBACK(OnDrawPage), const_cast<PrintJob*>(&job));
    GError* error = nullptr;
    const GtkPrintOperationResult result = gtk_print_operation_run(
        operation, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG, nullptr, &error);
    if (error) {
        g_error_free(error);
    }
    g_object_unref(operation);
    return result == GTK_PRINT_OPERATION_RESULT_APPLY;
}

} // namespace

bool RunPrintDialog(const PrintJob& job) {
    if (Handler()) {
        return Handler()(job);
    }
    return GtkPrint(job);
}

void SetPrintDialogHandler(std::function<bool(const PrintJob&)> handler) {
    Handler() = std::move(handler);
}

} // namespace platform
