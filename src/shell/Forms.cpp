#include "Forms.h"

TForm1* Form1 = nullptr;
TForm* Form2 = nullptr;
TForm* Form3 = nullptr;
TForm* Form4 = nullptr;
TForm* Form5 = nullptr;
TForm* Form6 = nullptr;
TForm* Form7 = nullptr;
