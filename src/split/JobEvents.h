#pragma once
// What a job met while it wrote one workbook, kept for the main thread, which gives it in row
// order once the workbook is done.
#include "book/ValuesDrops.h"
#include "platform/Seams.h"

#include <QString>

#include <exception>
#include <vector>

namespace bf::split::jobs {

struct JobEvent {
    enum class Kind { Message, Macros, Failure } kind = Kind::Message;
    QString text; // the message, or the workbook path of Macros
    platform::MsgButtons buttons = platform::MsgButtons::Ok;
    platform::MsgIcon icon = platform::MsgIcon::None;
    platform::MsgDefault defaultButton = platform::MsgDefault::First;
    int row = 0; // of a Failure
    std::exception_ptr failure;
};

// One workbook's events, and with values what its outputs left out; written by its job until the
// workbook is done, then read by the main thread.
struct WorkbookReport {
    std::vector<JobEvent> events;
    book::ValuesDrops dropped;
};

// A job's message boxes, kept as events; a question gets its default answer.
class RecordingMessageBox : public platform::MessageBoxSeam {
public:
    std::vector<JobEvent>* events = nullptr; // of the workbook the job writes
    platform::MsgResult show(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                             platform::MsgDefault defaultButton) override;
};

} // namespace bf::split::jobs
