#include "split/JobEvents.h"

namespace bf::split::jobs {

platform::MsgResult RecordingMessageBox::show(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                                              platform::MsgDefault defaultButton)
{
    events->push_back({JobEvent::Kind::Message, text, buttons, icon, defaultButton, 0, nullptr});
    if (buttons == platform::MsgButtons::Ok)
        return platform::MsgResult::Ok;
    return defaultButton == platform::MsgDefault::Second ? platform::MsgResult::No : platform::MsgResult::Yes;
}

} // namespace bf::split::jobs
