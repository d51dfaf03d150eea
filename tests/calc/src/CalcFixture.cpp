#include "CalcFixture.h"

#include <memory>

namespace bf::test::calc {

namespace {
std::unique_ptr<automation::calc::CalcApplication>& slot()
{
    static std::unique_ptr<automation::calc::CalcApplication> app;
    return app;
}

// Ends the shared office after the last test, so that no office outlives the program.
class SharedOfficeEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (slot()) {
            slot()->Quit();
            slot().reset();
        }
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedOfficeEnvironment);
} // namespace

FakeSeams& sharedSeams()
{
    static FakeSeams seams;
    return seams;
}

automation::calc::CalcApplication& sharedCalc()
{
    if (!slot())
        slot() = std::make_unique<automation::calc::CalcApplication>(sharedSeams());
    return *slot();
}

} // namespace bf::test::calc
