<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>asmpic::app::Form1</name>
    <message>
        <source>Запустить (актуально для старых ПК до 2004 года)</source>
        <translation>Start (relevant for old PCs up to 2004)</translation>
    </message>
    <message>
        <source>Хотите послать результаты автору программы?</source>
        <translation>Do you want to send the results to the program&apos;s author?</translation>
    </message>
    <message>
        <source>ТЕСТ ЗАВЕРШЕН УСПЕШНО</source>
        <translation>TEST COMPLETED SUCCESSFULLY</translation>
    </message>
    <message>
        <source>Не удалось открыть почтовую программу. Отправьте письмо вручную с темой:

%1</source>
        <translation>The mail program could not be opened. Send a mail by hand with the subject:

%1</translation>
    </message>
    <message>
        <source>Письмо не отправлено</source>
        <translation>Mail not sent</translation>
    </message>
    <message>
        <source>Вердикт: %1</source>
        <translation>Verdict: %1</translation>
    </message>
    <message>
        <source>можно доверять</source>
        <translation>can be trusted</translation>
    </message>
    <message>
        <source>с помехами</source>
        <translation>disturbed</translation>
    </message>
    <message>
        <source>нестабилен</source>
        <translation>unstable</translation>
    </message>
    <message>
        <source>процессор сдерживается</source>
        <translation>processor held back</translation>
    </message>
</context>
<context>
    <name>asmpic::platform::QtRuntime</name>
    <message>
        <source>&amp;Да</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Нет</source>
        <translation>&amp;No</translation>
    </message>
</context>
</TS>
