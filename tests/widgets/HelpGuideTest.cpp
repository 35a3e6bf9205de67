// The hint guide: where hints go, their parts, and the chain of application
// hint handlers.
#include "WidgetTestSupport.h"

#include "ui/HelpGuide.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <memory>
#include <stdexcept>

namespace {

void Tip(QWidget *to, const QString &text) {
  QStatusTipEvent e(text);
  QApplication::sendEvent(to, &e);
}

struct Window {
  QMainWindow form;
  QLabel *panels[3];
  QLabel *label = new QLabel(&form);
  QWidget *control = new QWidget(&form);
  Window() {
    for (auto &p : panels) {
      p = new QLabel(form.statusBar());
      form.statusBar()->addWidget(p);
    }
  }
};

} // namespace

class HelpGuideTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { ui::SetApplicationHintHandler(nullptr); }

  void showsTheHintWhereAsked() {
    Window w;
    THelpGuide guide(&w.form);
    guide.SetHelpPosition(THelpGuide::hpStatusBar);
    guide.SetTargetStatusBar(w.form.statusBar());
    guide.SetPanelIndex(2);
    Tip(w.control, QStringLiteral("before"));
    QCOMPARE(w.panels[2]->text(), QString()); // not installed yet: the window shows it
    QCOMPARE(w.form.statusBar()->currentMessage(), QStringLiteral("before"));
    w.form.statusBar()->clearMessage();
    guide.SetEnabled(true);
    Tip(w.control, QStringLiteral(u"ﾃｷｽﾄを右端で折り返します"));
    QCOMPARE(w.panels[2]->text(), QStringLiteral(u"ﾋﾝﾄ : ﾃｷｽﾄを右端で折り返します"));
    QVERIFY(w.form.statusBar()->currentMessage().isEmpty()); // the tip went nowhere else

    // Long and short parts, header and footer, the empty hint.
    guide.HelpFooter = QStringLiteral(" .");
    Tip(w.control, QStringLiteral("Save|Saves the project"));
    QCOMPARE(w.panels[2]->text(), QStringLiteral(u"ﾋﾝﾄ : Saves the project ."));
    guide.LongHint = false;
    Tip(w.control, QStringLiteral("Save|Saves the project"));
    QCOMPARE(w.panels[2]->text(), QStringLiteral(u"ﾋﾝﾄ : Save ."));
    guide.OriginalCaption = QStringLiteral("idle");
    Tip(w.control, QString());
    QCOMPARE(w.panels[2]->text(), QStringLiteral("idle"));
    Tip(w.control, QStringLiteral("|only long"));
    QCOMPARE(w.panels[2]->text(), QStringLiteral("idle")); // empty short part

    // A panel that does not exist shows nothing; label and caption work.
    guide.LongHint = true;
    guide.SetPanelIndex(7);
    Tip(w.control, QStringLiteral("x"));
    QCOMPARE(w.panels[2]->text(), QStringLiteral("idle"));
    guide.SetHelpPosition(THelpGuide::hpLabel);
    Tip(w.control, QStringLiteral("x"));
    QCOMPARE(w.panels[2]->text(), QStringLiteral("idle")); // no label set yet
    guide.SetTargetLabel(w.label);
    Tip(w.control, QStringLiteral("y"));
    QCOMPARE(w.label->text(), QStringLiteral(u"ﾋﾝﾄ : y ."));
    guide.SetHelpPosition(THelpGuide::hpFormCaption);
    Tip(w.control, QStringLiteral("z"));
    QCOMPARE(w.form.windowTitle(), QStringLiteral(u"ﾋﾝﾄ : z ."));

    guide.SetEnabled(false);
    Tip(w.control, QStringLiteral("after"));
    QCOMPARE(w.form.windowTitle(), QStringLiteral(u"ﾋﾝﾄ : z ."));
  }

  void chainsToThePreviousHandler() {
    Window w;
    QStringList earlier;
    ui::SetApplicationHintHandler([&](QObject *, const QString &hint) { earlier << hint; });
    THelpGuide guide(&w.form);
    guide.SetTargetLabel(w.label);
    guide.SetHelpPosition(THelpGuide::hpLabel);
    guide.SetEnabled(true);
    guide.SetEnabled(true); // twice: the saved handler is not the guide's own
    Tip(w.control, QStringLiteral("one"));
    QCOMPARE(w.label->text(), QStringLiteral(u"ﾋﾝﾄ : one"));
    QCOMPARE(earlier, QStringList{"one"});
    guide.SetEnabled(false);
    Tip(w.control, QStringLiteral("two"));
    QCOMPARE(w.label->text(), QStringLiteral(u"ﾋﾝﾄ : one"));
    QCOMPARE(earlier, (QStringList{"one", "two"}));
  }

  void guidesEndingInAnyOrderKeepTheChain() {
    Window w1, w2;
    QStringList base;
    ui::SetApplicationHintHandler([&](QObject *, const QString &hint) { base << hint; });
    auto first = std::make_unique<THelpGuide>(&w1.form);
    first->SetHelpPosition(THelpGuide::hpLabel);
    first->SetTargetLabel(w1.label);
    THelpGuide second(&w2.form);
    second.SetHelpPosition(THelpGuide::hpLabel);
    second.SetTargetLabel(w2.label);
    first->SetEnabled(true);
    second.SetEnabled(true);
    Tip(w1.control, QStringLiteral("a"));
    QCOMPARE(w1.label->text(), QStringLiteral(u"ﾋﾝﾄ : a"));
    QCOMPARE(w2.label->text(), QStringLiteral(u"ﾋﾝﾄ : a"));
    // The first one goes while the second still calls it.
    first.reset();
    Tip(w2.control, QStringLiteral("b"));
    QCOMPARE(w2.label->text(), QStringLiteral(u"ﾋﾝﾄ : b"));
    QCOMPARE(base, (QStringList{"a", "b"}));
    second.SetEnabled(false);
    Tip(w2.control, QStringLiteral("c"));
    QCOMPARE(w2.label->text(), QStringLiteral(u"ﾋﾝﾄ : b"));
    QCOMPARE(base, (QStringList{"a", "b", "c"}));
  }

  void needsAWindowAsOwner() {
    QWidget window;
    QWidget *child = new QWidget(&window);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, THelpGuide guide(child));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, THelpGuide guide(nullptr));
  }
};

ORVANE_WIDGET_TEST_MAIN(HelpGuideTest)
#include "HelpGuideTest.moc"
