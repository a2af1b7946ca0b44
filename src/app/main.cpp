#include "Forms.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TForm6.h"
#include "TForm7.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    app.CreateForm<TForm1>(Form1);
    app.CreateForm<TForm2>(Form2);
    app.CreateForm<TForm3>(Form3);
    app.CreateForm<TForm4>(Form4);
    app.CreateForm<TForm5>(Form5);
    app.CreateForm<TForm6>(Form6);
    app.CreateForm<TForm7>(Form7);
    return app.Run();
}
