#include "TForm5.h"

#include "Accessibility.h"
#include "Exception.h"
#include "Guarded.h"
#include "TImage.h"
#include "TSpeedButton.h"
#include "ui_TForm5.h"

#include <QFile>

static void initAboutResources() { Q_INIT_RESOURCE(about); }

TForm5::TForm5(QWidget* parent) : TForm(parent), ui_(new Ui::TForm5) {
    initAboutResources();
    setBorderStyle(TBorderStyle::bsNone);
    ui_->setupUi(this);
    setPosition(TPosition::poDesktopCenter);
    setDesignedClientBounds(197, 54, 574, 521);

    Image1 = ui_->Image1;
    SpeedButton1 = ui_->SpeedButton1;
    SpeedButton1->setFlat(true);
    SpeedButton1->setTransparent(true);
    // On the accessibility bus: the window is named after its menu command
    // (its caption is never shown), the picture is a graphic.
    setAccessibleName(QStringLiteral("Авторство"));
    Accessibility::setRole(Image1, QAccessible::Graphic);
    Image1->setAccessibleName(QStringLiteral("Портрет автора"));
    SpeedButton1->setAccessibleName(QStringLiteral("Закрыть"));
    SpeedButton1->setAccessibleDescription(QStringLiteral("Закрывает окно «Авторство»."));
    connect(SpeedButton1, &TSpeedButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });

    // A damaged stored picture is reported; the window still works, blank.
    guarded([this] {
        QFile stored(pictureResource());
        if (!stored.open(QIODevice::ReadOnly))
            throw Exception(QStringLiteral("Cannot read the stored picture %1").arg(pictureResource()));
        Image1->Picture().LoadFromStoredData(stored.readAll());
    });
}

TForm5::~TForm5() { delete ui_; }

QString TForm5::pictureResource() { return QStringLiteral(":/about/portrait.picture-data"); }

void TForm5::SpeedButton1Click() { Close(); }
