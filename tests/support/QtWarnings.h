#pragma once

// Makes every Qt warning, critical message or fatal error fail the running test. A test that
// means to provoke one says so by installing a handler of its own for the while
// (qInstallMessageHandler hands back this one, to be put back after).
void failTestsOnQtWarnings();
