#include "ui/quarn_app.h"

int main(int argc, char** argv) {
    return CQuarnApp::Run(argc, argv);
}
