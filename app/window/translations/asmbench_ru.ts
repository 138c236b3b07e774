<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en_US">
<context>
    <name>asmpic::app::Results</name>
    <message>
        <source>Throughput relative to [1] (Mpix/s, whiskers: 95 % interval of the median)</source>
        <translation>Пропускная способность относительно [1] (Мпикс/с, усы: 95 % интервал медианы)</translation>
    </message>
    <message>
        <source>Throughput relative to [1] (Mpix/s, whiskers: interval of the median, with few runs %1 %)</source>
        <translation>Пропускная способность относительно [1] (Мпикс/с, усы: интервал медианы, при малом числе прогонов %1 %)</translation>
    </message>
    <message>
        <source>faster</source>
        <translation>быстрее</translation>
    </message>
    <message>
        <source>slower</source>
        <translation>медленнее</translation>
    </message>
    <message>
        <source>same</source>
        <translation>так же</translation>
    </message>
    <message>
        <source>inconclusive</source>
        <translation>не ясно</translation>
    </message>
    <message>
        <source>Fleet: faster than %1 % of the %2 other machines' latest trusted runs in the throughput score</source>
        <translation>Среди машин: быстрее, чем %1 % последних надёжных прогонов других машин (%2) по пропускной способности</translation>
    </message>
    <message>
        <source>The reasons and what to do: in the result document (Save as JSON)</source>
        <translation>Причины и что с ними делать: в документе результата (Сохранить как JSON)</translation>
    </message>
    <message>
        <source>window</source>
        <translation>окно</translation>
    </message>
    <message>
        <source>headless</source>
        <translation>без окна</translation>
    </message>
    <message>
        <source>unknown kernels</source>
        <translation>ядра неизвестны</translation>
    </message>
    <message>
        <source>%1 Mpix/s  %2×</source>
        <translation>%1 Мпикс/с  %2×</translation>
    </message>
    <message>
        <source>not measured</source>
        <translation>не измерено</translation>
    </message>
    <message>
        <source>run %1</source>
        <translation>прогон %1</translation>
    </message>
    <message>
        <source>1 thread</source>
        <translation>1 поток</translation>
    </message>
    <message>
        <source>%1 threads</source>
        <translation>потоков: %1</translation>
    </message>
    <message>
        <source>custom kernels</source>
        <translation>особые ядра</translation>
    </message>
    <message>
        <source>%1 Mpix/s (one run, no interval)</source>
        <translation>%1 Мпикс/с (один прогон, без интервала)</translation>
    </message>
    <message>
        <source>%1 Mpix/s (no runs)</source>
        <translation>%1 Мпикс/с (нет прогонов)</translation>
    </message>
    <message>
        <source>%1 Mpix/s ± %2 %</source>
        <translation>%1 Мпикс/с ± %2 %</translation>
    </message>
    <message>
        <source> (a %1 % interval: %2 runs are too few for 95 %)</source>
        <translation> (интервал %1 %: прогонов (%2) слишком мало для 95 %)</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>неизвестно</translation>
    </message>
    <message>
        <source>%1 GiB</source>
        <translation>%1 ГиБ</translation>
    </message>
    <message>
        <source>Machine: %1, %2 logical cores, %3 memory; %4, %5</source>
        <translation>Компьютер: %1, логических ядер: %2, память: %3; %4, %5</translation>
    </message>
    <message>
        <source>ASMpic Bench: results</source>
        <translation>ASMpic Bench: результаты</translation>
    </message>
    <message>
        <source>Score: %1 (%2)   Throughput score: %3
Mode: %4, kernels: %5, %6</source>
        <translation>Оценка: %1 (%2)   Оценка пропускной способности: %3
Режим: %4, ядра: %5, %6</translation>
    </message>
    <message>
        <source>none</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>No run yet: press the start button for a result.</source>
        <translation>Прогонов ещё не было: нажмите кнопку запуска, чтобы получить результат.</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Тест</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Секунды</translation>
    </message>
    <message>
        <source>Monotonic s</source>
        <translation>Монотонные, с</translation>
    </message>
    <message>
        <source>Mpix/s</source>
        <translation>Мпикс/с</translation>
    </message>
    <message>
        <source>total / score</source>
        <translation>итого / оценка</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Copy result</source>
        <translation>Копировать результат</translation>
    </message>
    <message>
        <source>Save as JSON…</source>
        <translation>Сохранить как JSON…</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>Не удалось записать %1</translation>
    </message>
    <message>
        <source>Save the result</source>
        <translation>Сохранение результата</translation>
    </message>
    <message>
        <source>Result documents (*.json)</source>
        <translation>Документы результатов (*.json)</translation>
    </message>
    <message>
        <source>Throughput score: %1
(%2, %3; double-click or Ctrl+R for the results)</source>
        <translation>Оценка пропускной способности: %1
(%2, %3; двойной щелчок или Ctrl+R — результаты)</translation>
    </message>
    <message>
        <source>rotate</source>
        <translation>поворот</translation>
    </message>
    <message>
        <source>smoothing</source>
        <translation>сглаживание</translation>
    </message>
    <message>
        <source>contour</source>
        <translation>контур</translation>
    </message>
    <message>
        <source>emboss</source>
        <translation>тиснение</translation>
    </message>
    <message>
        <source>ripple</source>
        <translation>рябь</translation>
    </message>
    <message>
        <source>relief</source>
        <translation>рельеф</translation>
    </message>
    <message>
        <source>twirl</source>
        <translation>вихрь</translation>
    </message>
    <message>
        <source>score</source>
        <translation>оценка</translation>
    </message>
    <message>
        <source>multi-core</source>
        <translation>многоядерный</translation>
    </message>
    <message>
        <source>best</source>
        <translation>лучшие</translation>
    </message>
    <message>
        <source>baseline</source>
        <translation>базовые</translation>
    </message>
    <message>
        <source>reference</source>
        <translation>эталонные</translation>
    </message>
    <message>
        <source>this run</source>
        <translation>этот прогон</translation>
    </message>
    <message>
        <source>baseline-kernels</source>
        <translation>базовые ядра</translation>
    </message>
    <message>
        <source>best-kernels</source>
        <translation>лучшие ядра</translation>
    </message>
    <message>
        <source>reference-kernels</source>
        <translation>эталонные ядра</translation>
    </message>
    <message>
        <source>green</source>
        <translation>зелёный</translation>
    </message>
    <message>
        <source>red</source>
        <translation>красный</translation>
    </message>
    <message>
        <source>Sustained run…</source>
        <translation>Длительный прогон…</translation>
    </message>
    <message>
        <source>Sustained run</source>
        <translation>Длительный прогон</translation>
    </message>
    <message>
        <source>Minutes:</source>
        <translation>Минуты:</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Старт</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Passes of every engine at once, every picture checked.</source>
        <translation>Проходы на всех ядрах сразу, каждая картинка проверяется.</translation>
    </message>
    <message>
        <source>Cannot read a start picture: %1</source>
        <translation>Не удаётся прочитать исходную картинку: %1</translation>
    </message>
    <message>
        <source>Running…</source>
        <translation>Идёт прогон…</translation>
    </message>
    <message>
        <source>Pass %1: the %2 picture is wrong; this machine does not compute reliably under load</source>
        <translation>Проход %1: картинка теста %2 неверна; под нагрузкой этот компьютер считает ненадёжно</translation>
    </message>
    <message>
        <source>Cancelled: the %1 passes measured are kept.</source>
        <translation>Отменено: измеренные проходы (%1) сохранены.</translation>
    </message>
    <message>
        <source>Finished: %1 passes.</source>
        <translation>Готово: проходов — %1.</translation>
    </message>
    <message>
        <source>Stored in the history as run %1.</source>
        <translation>Сохранено в истории как запуск %1.</translation>
    </message>
    <message>
        <source>This run was not stored in the history: %1</source>
        <translation>Этот запуск не сохранён в истории: %1</translation>
    </message>
    <message>
        <source>The run stopped: %1</source>
        <translation>Запуск прервался: %1</translation>
    </message>
    <message>
        <source>Sustained run: %1, %2 passes in %3 s</source>
        <translation>Длительный прогон: %1, проходов — %2 за %3 с</translation>
    </message>
    <message>
        <source>burst %1 Mpix/s, sustained %2 Mpix/s (%3 %)</source>
        <translation>в начале %1 Мпикс/с, длительно %2 Мпикс/с (%3 %)</translation>
    </message>
    <message>
        <source>below 95 % from %1 s</source>
        <translation>ниже 95 % с %1 с</translation>
    </message>
    <message>
        <source>MHz</source>
        <translation>МГц</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°С</translation>
    </message>
    <message>
        <source>no pass yet</source>
        <translation>проходов ещё нет</translation>
    </message>
    <message>
        <source>not exposed by this system</source>
        <translation>система не сообщает</translation>
    </message>
    <message>
        <source>burst %1</source>
        <translation>в начале %1</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 с</translation>
    </message>
</context>
</TS>
