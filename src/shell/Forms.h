#pragma once

class TForm;
class TForm1;

// Program-wide references to the seven windows, set as each is created.
extern TForm1* Form1;
extern TForm* Form2;
extern TForm* Form3;
extern TForm* Form4;
extern TForm* Form5;
extern TForm* Form6;
extern TForm* Form7;
