// File > Publish to broker: the dialog's checks, what goes to a real
// mosquitto while the item is checked, "offline" when it is unchecked, and a
// broker that refuses the credentials.
#include "tests/display/display_test_support.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/window/temp_settings.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryFile>
#include <QThread>

#include <cstdio>

#include "glance/glance.h"
#include "menus/file_menu.h"
#include "publishing/publish_dialog.h"
#include "publishing/publish_menu.h"
#include "stream/publish.h"

using namespace display_test;

namespace {

QJsonObject json(const std::string &payload) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

class Publishing : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        AttachGlance(panelHandle, TEXT_Status, GRAPH_Raw, STRIP_Trend);
        AttachPublishing(panelHandle);
        window = rt::panelWidget(panelHandle);
        menu = window->findChild<publishing::PublishMenu *>();
        ASSERT_NE(menu, nullptr);
        ASSERT_NE(menu->action(), nullptr);
        ASSERT_TRUE(broker.start());
    }
    void TearDown() override {
        if (menu)
            menu->stopPublishing();
        PanelTest::TearDown();
    }
    // Waits, with the program's events going on, until `done` holds.
    static bool settleUntil(const std::function<bool()> &done, int ms = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms) {
            Settle(5);
            QThread::msleep(5);
        }
        return done();
    }
    publishing::PublishDialog *dialog() const {
        return window->findChild<publishing::PublishDialog *>(QStringLiteral("publishDialog"));
    }
    void fill(const char *field, const QString &text) const {
        dialog()->findChild<QLineEdit *>(QLatin1String(field))->setText(text);
    }
    broker::Target target(const std::string &name) const {
        broker::Target t;
        std::string problem;
        EXPECT_TRUE(broker::parseUrl(broker.url(), t.url, problem)) << problem;
        t.name = name;
        return t;
    }

    window_test::TempSettings settings;
    MosquittoBroker broker;
    QWidget *window = nullptr;
    publishing::PublishMenu *menu = nullptr;
};

TEST_F(Publishing, TheDialogTakesOnlyAnAddressNameAndCaFileThatPassAndKeepsNoPassword) {
    struct Entry {
        QString url, name, caFile;
        const char *problem; // nullptr: taken
    };
    const QString good = QString::fromStdString(broker.url());
    QTemporaryFile caFile;
    ASSERT_TRUE(caFile.open());
    const Entry entries[] = {
        {QStringLiteral("http://127.0.0.1"), {}, {}, "Broker:"},
        {QStringLiteral("mqtt://"), {}, {}, "Broker:"},
        {good, QStringLiteral("line 3"), {}, "Sensor's name:"},
        {good, QStringLiteral("line3/edge"), {}, "Sensor's name:"},
        {good, {}, QStringLiteral("/nonexistent/ca.pem"), "CA file:"},
        {good, {}, caFile.fileName(), "Broker: a CA file vouches for an mqtts:// broker only"},
        {good, QStringLiteral("line3-edge"), {}, nullptr},
    };
    for (const Entry &entry : entries) {
        menu->action()->trigger();
        ASSERT_TRUE(settleUntil([this] { return dialog() && dialog()->isVisible(); }));
        fill("brokerUrl", entry.url);
        fill("brokerName", entry.name);
        fill("brokerCaFile", entry.caFile);
        fill("brokerUser", QStringLiteral("shift"));
        fill("brokerPassword", QStringLiteral("secret-word"));
        dialog()->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        Settle();
        if (entry.problem) {
            ASSERT_NE(dialog(), nullptr) << entry.problem;
            EXPECT_TRUE(dialog()
                            ->findChild<QLabel *>(QStringLiteral("brokerProblem"))
                            ->text()
                            .startsWith(QLatin1String(entry.problem)))
                << entry.problem;
            EXPECT_FALSE(menu->publishing());
            dialog()->reject();
            Settle();
            EXPECT_FALSE(menu->action()->isChecked());
            continue;
        }
        EXPECT_EQ(dialog(), nullptr);
        EXPECT_TRUE(menu->publishing());
        EXPECT_TRUE(menu->action()->isChecked());
    }
    QFile file(settings.file());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray kept = file.readAll();
    EXPECT_TRUE(kept.contains("line3-edge")) << kept.constData();
    EXPECT_TRUE(kept.contains("shift")) << kept.constData();
    EXPECT_FALSE(kept.contains("secret-word")) << kept.constData();
}

TEST_F(Publishing, WhileCheckedFramesStateAndEventsGoToTheBrokerAndUncheckingLeavesOffline) {
    Subscriber subscriber(broker.uri(), "vexa-tb/window-test/#");
    ASSERT_TRUE(subscriber.connect());
    // The sensor's firmware text in Windows-1252: a euro sign and an e acute.
    const std::string heldVersion = szVersion;
    std::snprintf(szVersion, sizeof szVersion, "%s", "V1.41 \x80 caf\xe9");
    ASSERT_TRUE(menu->startPublishing(target("window-test")));
    auto *state = window->findChild<QLabel *>(QStringLiteral("statusBroker"));
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(settleUntil([state] { return state->text() == "broker: connected"; }))
        << state->text().toStdString();

    Received message;
    ASSERT_TRUE(subscriber.nextOn("vexa-tb/window-test/status", message));
    EXPECT_EQ(json(message.payload).value("state").toString(), QStringLiteral("port lost"));
    EXPECT_EQ(json(message.payload).value("program").toString(),
              QStringLiteral("vexa-tb-scope " VEXA_VERSION));
    ASSERT_TRUE(subscriber.nextOn("vexa-tb/window-test/info", message));
    std::snprintf(szVersion, sizeof szVersion, "%s", heldVersion.c_str());
    EXPECT_EQ(json(message.payload).value("firmware").toString(),
              QString::fromUtf8("V1.41 \u20ac caf\u00e9"));

    unsigned short words[FRAME_WORDS_SEEN] = {};
    words[FRAME_TVAL] = 512;
    words[FRAME_TTOL] = 100;
    for (unsigned short mvalue : {500, 501, 502}) {
        words[FRAME_MVALUE] = mvalue;
        FrameDecoded(words);
    }
    for (int seq = 1; seq <= 3; ++seq) {
        ASSERT_TRUE(subscriber.nextOn("vexa-tb/window-test/frame", message)) << seq;
        const QJsonObject frame = json(message.payload);
        EXPECT_EQ(frame.value("seq").toInt(), seq);
        EXPECT_EQ(frame.value("Mvalue").toInt(), 499 + seq);
    }
    words[FRAME_MVALUE] = 800;
    FrameDecoded(words);
    ASSERT_TRUE(subscriber.nextOn("vexa-tb/window-test/event", message));
    EXPECT_EQ(json(message.payload).value("kind").toString(), QStringLiteral("out of tolerance"));
    words[FRAME_MVALUE] = 500;
    FrameDecoded(words);

    // No port is open here: the state starts as "port lost"; the exchanges'
    // and the port's events move it on.
    const std::pair<std::function<void()>, const char *> changes[] = {
        {[] { ExchangeEnded(TEST_PORT, 1); }, "online"},
        {[] { ExchangeEnded(TEST_PORT, 0); }, "no answer"},
        {[] { PortLost(TEST_PORT); }, "port lost"},
        // The exchange the loss cut short is no silence of the sensor.
        {[] {
             ExchangeEnded(TEST_PORT, 0);
             PortOpened(TEST_PORT, 0);
             ExchangeEnded(TEST_PORT, 1);
         },
         "online"},
    };
    for (const auto &[happen, stateText] : changes) {
        happen();
        ASSERT_TRUE(subscriber.nextOn("vexa-tb/window-test/status", message)) << stateText;
        EXPECT_EQ(json(message.payload).value("state").toString(), QLatin1String(stateText));
    }

    menu->action()->trigger(); // unchecked
    EXPECT_FALSE(menu->publishing());
    EXPECT_TRUE(state->isHidden());
    ASSERT_TRUE(subscriber.nextOn("vexa-tb/window-test/status", message));
    EXPECT_EQ(json(message.payload).value("state").toString(), QStringLiteral("offline"));
}

TEST_F(Publishing, TheBrokersStateSaysWhyItIsNotConnectedInItsTooltip) {
    broker.stop(); // its port is closed now
    ASSERT_TRUE(menu->startPublishing(target("window-test")));
    auto *state = window->findChild<QLabel *>(QStringLiteral("statusBroker"));
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(settleUntil([state] {
        return state->toolTip() == "Last problem: broker unreachable: connection refused";
    })) << state->toolTip().toStdString();
    EXPECT_EQ(state->text(), "broker: reconnecting, 0 frames dropped");
    ASSERT_TRUE(broker.start());
    EXPECT_TRUE(settleUntil([state] { return state->text() == "broker: connected"; }, 8000))
        << state->text().toStdString();
    EXPECT_EQ(state->toolTip(), "Last problem: broker unreachable: connection refused")
        << "the last problem stays told after the broker is back";
}

TEST_F(Publishing, ABrokerThatRefusesTheCredentialsEndsThePublishingWithItsReason) {
    MosquittoBroker guarded("shift", "right-word");
    ASSERT_TRUE(guarded.start());
    broker::Target t;
    std::string problem;
    ASSERT_TRUE(broker::parseUrl(guarded.url(), t.url, problem)) << problem;
    t.name = "window-test";
    t.user = "shift";
    t.password = "wrong-word";
    ASSERT_TRUE(menu->startPublishing(t));
    ASSERT_TRUE(settleUntil([this] { return !menu->publishing(); }, 8000));
    EXPECT_FALSE(menu->action()->isChecked());
    auto *box = window->findChild<QMessageBox *>(QStringLiteral("publishMessage"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QLatin1String("not authorized"))) << box->text().toStdString();
    box->close();
}

} // namespace
