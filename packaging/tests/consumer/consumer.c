/* A program of someone else's calling the five functions of the installed
   ortav_math, built in C. Exit 0 when every answer is right. */
#include <ortav_math.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "consumer: wrong: %s\n", what);
        ++failures;
    }
}

int main(void) {
    /* An ideal channel: 18.75 * 2^k ohms behind 0.5 ohm, 1000 codes per mA. */
    CoeffImage image;
    memset(&image, 0, sizeof image);
    image.signature = ORTAV_COEFF_SIGNATURE;
    for (int c = 0; c < ORTAV_CHANNELS; ++c) {
        image.r0[c] = 0.5;
        for (int k = 0; k < ORTAV_RESISTORS; ++k)
            image.R[c][k] = 0.5 + 18.75 * (double)(1L << k);
        image.iGain[c] = 1.0e6;
        image.iOffset[c] = 3.0;
    }

    check(fabs(ortavMath_countR(&image, 1 << 4, 0) - (0.5 + 18.75 * 16)) < 1e-9,
          "countR of one resistor");
    check(ortavMath_countR(&image, 0, 1) == 999999999.0, "countR with nothing connected");
    /* Two equal branches in parallel: half of one. */
    check(fabs(ortavMath_countR(&image, 0x3, 1) - (0.5 + 1.0 / (1.0 / 18.75 + 1.0 / 37.5))) <
              1e-9,
          "countR of two resistors");
    check(ortavMath_RtoN(&image, 0, 0.5 + 18.75 * 1024) == 1 << 10, "RtoN of one resistor");
    check(ortavMath_RtoN(&image, 0, 1.0e12) == -1, "RtoN above every resistor");
    check(ortavMath_ItoN(&image, 1, 0.001) == 1003, "ItoN of 1 mA");

    double deviation = 0.0;
    check(ortavMath_povCheckValueAbs(10.04, 10.0, 0.05, &deviation) == 0, "povCheckValueAbs within");
    check(fabs(deviation - 0.04) < 1e-9, "povCheckValueAbs deviation");
    check(ortavMath_povCheckValueAbs(10.06, 10.0, 0.05, NULL) == 1, "povCheckValueAbs beyond");

    char tolerance[16] = "", dev[16] = "";
    check(ortavMath_povCheckValueProc(100.0, 100.0, 100.5, 1.0, tolerance, dev) == 0,
          "povCheckValueProc within");
    check(tolerance[0] != '\0' && dev[0] != '\0', "povCheckValueProc texts");
    check(ortavMath_povCheckValueProc(100.0, 100.0, 102.0, 1.0, NULL, NULL) == 1,
          "povCheckValueProc beyond");

    printf("consumer: countR(0x10)=%.6f RtoN=%d ItoN=%u tolerance='%s' deviation='%s'\n",
           ortavMath_countR(&image, 1 << 4, 0), (int)ortavMath_RtoN(&image, 0, 300.5),
           (unsigned)ortavMath_ItoN(&image, 1, 0.001), tolerance, dev);
    return failures == 0 ? 0 : 1;
}
