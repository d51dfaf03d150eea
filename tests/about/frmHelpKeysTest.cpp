// Application Help queues an F1 key press; the window's own F1 handling gets it only after the
// command has returned.
#include "about/frmHelpKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
class KeyRecorder : public QWidget {
public:
    struct Key {
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    std::vector<Key> keys;

protected:
    void keyPressEvent(QKeyEvent* e) override { keys.push_back({e->type(), e->key(), e->modifiers()}); }
    void keyReleaseEvent(QKeyEvent* e) override { keys.push_back({e->type(), e->key(), e->modifiers()}); }
};
} // namespace

TEST(ApplicationHelp, QueuesOneF1PressForAfterTheCommand)
{
    {
        // No window of ours is active: the key goes to the window given as the fallback.
        KeyRecorder main;
        ASSERT_EQ(QApplication::activeWindow(), nullptr);
        bf::about::ApplicationHelp(&main);
        EXPECT_TRUE(main.keys.empty()); // nothing arrives while the command runs
        QCoreApplication::processEvents();
        ASSERT_EQ(main.keys.size(), 2u);
        EXPECT_EQ(main.keys[0].type, QEvent::KeyPress);
        EXPECT_EQ(main.keys[0].key, Qt::Key_F1);
        EXPECT_EQ(main.keys[0].modifiers, Qt::NoModifier);
        EXPECT_EQ(main.keys[1].type, QEvent::KeyRelease);
    }
    {
        // With an active window the key goes where the keyboard focus is, as a real key would.
        KeyRecorder main;
        auto* child = new KeyRecorder;
        child->setParent(&main);
        child->setFocusPolicy(Qt::StrongFocus);
        main.show();
        main.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        child->setFocus();
        KeyRecorder elsewhere;
        bf::about::ApplicationHelp(&elsewhere);
        QCoreApplication::processEvents();
        ASSERT_EQ(child->keys.size(), 2u);
        EXPECT_EQ(child->keys[0].key, Qt::Key_F1);
        EXPECT_TRUE(elsewhere.keys.empty());
    }
    // No window at all: nothing to send to, and nothing fails.
    EXPECT_NO_THROW(bf::about::ApplicationHelp(nullptr));
    QCoreApplication::processEvents();
}
