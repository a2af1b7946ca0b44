// Starts the program's windows as the program does and shows the client entry
// window as well, which no menu command reaches, so that it can be pictured.
#include "Forms.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    app.CreateForm<TForm1>(Form1);
    app.CreateForm<TForm2>(Form2);
    app.CreateForm<TForm3>(Form3);
    app.CreateForm<TForm4>(Form4);
    Form1->N4Click(nullptr);
    return app.Run();
}
