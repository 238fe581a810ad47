#include "app/window/status_pictures.h"

#include <gtest/gtest.h>

#include <QImage>

namespace app {
namespace {

using run::RowStatus;

// Dark pixels (the mark) inside the white disc.
int DarkPixels(const QImage& image) {
    int dark = 0;
    for (int y = 3; y < 13; ++y)
        for (int x = 3; x < 13; ++x) {
            QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && c.red() < 90 && c.green() < 90 && c.blue() < 90) ++dark;
        }
    return dark;
}

bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && a.alpha() > 200;
}

TEST(StatusPictures, NoStatusHasNoPicture) {
    EXPECT_TRUE(StatusPicture(RowStatus::kNone).isNull());
}

TEST(StatusPictures, EachPictureIsARingOfItsColourAroundAWhiteDiscWithADarkMark) {
    for (RowStatus status : {RowStatus::kDone, RowStatus::kInProgress, RowStatus::kFailed}) {
        QImage image = StatusPicture(status).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        QColor ring = StatusRingColor(status);
        // The ring on all four sides.
        for (QPoint p : {QPoint(7, 1), QPoint(8, 14), QPoint(1, 8), QPoint(14, 7)})
            EXPECT_TRUE(Near(image.pixelColor(p), ring))
                << int(status) << " at " << p.x() << "," << p.y();
        // White inside, transparent in the corners outside the ring.
        EXPECT_TRUE(Near(image.pixelColor(10, 12), Qt::white, 10)) << int(status);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_GE(DarkPixels(image), 6) << int(status);
    }
}

TEST(StatusPictures, TheRingsAreGreenBlueAndRed) {
    QColor done = StatusRingColor(RowStatus::kDone);
    QColor busy = StatusRingColor(RowStatus::kInProgress);
    QColor failed = StatusRingColor(RowStatus::kFailed);
    EXPECT_GT(done.green(), done.red() + 60);
    EXPECT_GT(done.green(), done.blue() + 60);
    EXPECT_GT(busy.blue(), busy.red() + 60);
    EXPECT_GT(busy.blue(), busy.green() + 60);
    EXPECT_GT(failed.red(), failed.green() + 60);
    EXPECT_GT(failed.red(), failed.blue() + 60);
}

TEST(StatusPictures, TheMarksDiffer) {
    QImage tick = StatusPicture(RowStatus::kDone).toImage();
    QImage letter = StatusPicture(RowStatus::kInProgress).toImage();
    QImage cross = StatusPicture(RowStatus::kFailed).toImage();
    // The letter "i" is a vertical stroke on the centre line; the cross has its centre dark
    // and the tick leaves it clear of the top-left corner.
    EXPECT_LT(letter.pixelColor(8, 10).red(), 90);
    EXPECT_GT(letter.pixelColor(5, 10).red(), 200);
    EXPECT_LT(cross.pixelColor(5, 5).red(), 90);
    EXPECT_LT(cross.pixelColor(10, 5).red(), 90);
    EXPECT_GT(tick.pixelColor(5, 5).red(), 200);
    EXPECT_LT(tick.pixelColor(7, 10).red(), 90);
}

TEST(StatusPictures, TheProgramIconIs48Square) {
    QImage icon = ProgramIcon().toImage();
    EXPECT_EQ(icon.size(), QSize(48, 48));
    EXPECT_GT(icon.pixelColor(20, 25).alpha(), 200);
}

}  // namespace
}  // namespace app
