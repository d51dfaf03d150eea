// Reading an input file to its end, and a failed read reported instead of retried.
#include "core/Error.h"
#include "platform/InputFile.h"
#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(InputFile, ReadsToTheEndAndReportsAFailedReadInsteadOfRetryingIt)
{
    bf::test::TempDir dir;
    bf::platform::InputFile file(dir.write("book.xls", "0123456789"));
    errno = EINTR; // left over from an earlier interrupted call: no reason to read again
    EXPECT_EQ(file.readAll(), "0123456789");
    bf::platform::InputFile memory("/proc/self/mem"); // a regular file; nothing is mapped at 0
    try {
        memory.readHead(16);
        ADD_FAILURE() << "no error";
    } catch (const bf::Error& e) {
        EXPECT_TRUE(e.description().startsWith("'/proc/self/mem' cannot be read: ")) << e.description().toStdString();
    }
}
