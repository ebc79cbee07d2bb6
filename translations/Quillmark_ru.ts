<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Quillmark::Internal::PasswordDialogPrivate</name>
    <message>
        <source>Password:</source>
        <translation>Пароль:</translation>
    </message>
    <message>
        <source>Password can&apos;t be empty</source>
        <translation>Пароль не может быть пустым</translation>
    </message>
    <message>
        <source>Password contains invalid newline characters</source>
        <translation>Пароль содержит недопустимые символы перевода строки</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::Pkgseal</name>
    <message>
        <source>Filed to generate CSR</source>
        <translation>Не удалось создать запрос на сертификат</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::PkgsealStep</name>
    <message>
        <source>Signing RPM package...</source>
        <translation>Подписывание RPM-пакета...</translation>
    </message>
    <message>
        <source>Error: No previous &quot;%1&quot; step found</source>
        <translation>Ошибка: не найден предшествующий шаг «%1»</translation>
    </message>
    <message>
        <source>Error: no package for sign found</source>
        <translation>Ошибка: не найдено пакетов для подписи</translation>
    </message>
    <message>
        <source>Package sign completed successfully.</source>
        <translation>Пакеты успешно подписаны.</translation>
    </message>
    <message>
        <source>Package sign stopped by user</source>
        <translation>Подписывание пакетов остановлено пользователем</translation>
    </message>
    <message>
        <source>Failed to verify signature dump</source>
        <translation>Не удалось проверить дамп подписей</translation>
    </message>
    <message>
        <source>Note: Packages %1 signed with developer key, use is possible only for development purposes. Read more: %2</source>
        <translation>Примечание: пакет %1 подписан ключом разработчика, его можно использовать только для разработки. Подробнее: %2</translation>
    </message>
    <message>
        <source>Note: Packages %1 is not signed. Deployment to the device is not possible. Read more: %2</source>
        <translation>Примечание: пакет %1 не подписан. Установка на устройство невозможна. Подробнее: %2</translation>
    </message>
    <message>
        <source>All packages are signed.</source>
        <translation>Все пакеты подписаны.</translation>
    </message>
    <message>
        <source>Could not tell which packages are signed.</source>
        <translation>Не удалось определить, какие пакеты подписаны.</translation>
    </message>
    <message>
        <source>Signed before the stop: %1</source>
        <translation>Подписаны до остановки: %1</translation>
    </message>
    <message>
        <source>Not signed, left as they were: %1</source>
        <translation>Не подписаны, оставлены без изменений: %1</translation>
    </message>
    <message>
        <source>Signed %1 (%2 of %3)</source>
        <translation>Подписан %1 (%2 из %3)</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::PkgsealWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Command:</source>
        <translation>Команда:</translation>
    </message>
    <message>
        <source>pkgseal</source>
        <translation>pkgseal</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>Ключ:</translation>
    </message>
    <message>
        <source>Certificate:</source>
        <translation>Сертификат:</translation>
    </message>
    <message>
        <source>User private key for signing the package</source>
        <translation>Закрытый ключ пользователя для подписи пакета</translation>
    </message>
    <message>
        <source>Certificate to be used in signature</source>
        <translation>Сертификат для подписи</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>По умолчанию</translation>
    </message>
    <message>
        <source>Custom keys</source>
        <translation>Свои ключи</translation>
    </message>
    <message>
        <source>Custom keys are used</source>
        <translation>Используются свои ключи</translation>
    </message>
    <message>
        <source>Global keys are used</source>
        <translation>Используются глобальные ключи</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::QuillmarkPlugin</name>
    <message>
        <source>&amp;Sign Packages</source>
        <translation>&amp;Подписать пакеты</translation>
    </message>
    <message>
        <source>%1 is a link, not a folder</source>
        <translation>%1 является ссылкой, а не папкой</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 не является папкой</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Не удалось записать %1: %2</translation>
    </message>
    <message>
        <source>%1 is a link, not a file</source>
        <translation>%1 является ссылкой, а не файлом</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>Не удалось прочитать %1: %2</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::RunInBuildContainer</name>
    <message>
        <source>Could not start &quot;%1&quot;: %2</source>
        <translation>Не удалось запустить «%1»: %2</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::SignDialog</name>
    <message>
        <source>Select Privacy-Enhanced Mail container</source>
        <translation>Выберите контейнер Privacy-Enhanced Mail</translation>
    </message>
    <message>
        <source>Privacy-Enhanced Mail container (*.pem)</source>
        <translation>Контейнер Privacy-Enhanced Mail (*.pem)</translation>
    </message>
    <message>
        <source>Select key file (*.pem)</source>
        <translation>Выберите файл ключа (*.pem)</translation>
    </message>
    <message>
        <source>Select certificate (*.pem)</source>
        <translation>Выберите сертификат (*.pem)</translation>
    </message>
    <message>
        <source>Select RPM package</source>
        <translation>Выберите RPM-пакет</translation>
    </message>
    <message>
        <source>RPM package (*.rpm)</source>
        <translation>RPM-пакет (*.rpm)</translation>
    </message>
    <message>
        <source>Select root certificate</source>
        <translation>Выберите корневой сертификат</translation>
    </message>
    <message>
        <source>Path to PEM-encoded bundle with root certificates. If not set, default value will be used.</source>
        <translation>Путь к набору корневых сертификатов в формате PEM. Если не задан, используется значение по умолчанию.</translation>
    </message>
    <message>
        <source>Specify path to save key file or select existing key file</source>
        <translation>Укажите, куда сохранить ключ, или выберите существующий ключ</translation>
    </message>
    <message>
        <source>Specify path to save Certificate Signing Request file</source>
        <translation>Укажите, куда сохранить запрос на подпись сертификата</translation>
    </message>
    <message>
        <source>RSA (2048)</source>
        <translation>RSA (2048)</translation>
    </message>
    <message>
        <source>GOST R 34.10-2012 (256)</source>
        <translation>ГОСТ Р 34.10-2012 (256)</translation>
    </message>
    <message>
        <source>File does not exist</source>
        <translation>Файл не существует</translation>
    </message>
    <message>
        <source>Package can&apos;t be verified</source>
        <translation>Пакет не может быть проверен</translation>
    </message>
    <message>
        <source>Signatures successfully verified</source>
        <translation>Подписи успешно проверены</translation>
    </message>
    <message>
        <source>Could not verify signatures</source>
        <translation>Не удалось проверить подписи</translation>
    </message>
    <message>
        <source>Package can&apos;t be dumped</source>
        <translation>Не удалось получить дамп пакета</translation>
    </message>
    <message>
        <source>No signatures found in package</source>
        <translation>В пакете не найдено подписей</translation>
    </message>
    <message>
        <source>Failed to generate request: %1</source>
        <translation>Не удалось создать запрос: %1</translation>
    </message>
    <message>
        <source>Company name field cannot be empty</source>
        <translation>Поле названия компании не может быть пустым</translation>
    </message>
    <message>
        <source>Key field cannot be empty</source>
        <translation>Поле ключа не может быть пустым</translation>
    </message>
    <message>
        <source>Request field cannot be empty</source>
        <translation>Поле запроса не может быть пустым</translation>
    </message>
    <message>
        <source>Outside the build engine&apos;s shared folder %1, the signing tool cannot read it.</source>
        <translation>Вне общей папки среды сборки %1: инструмент подписи не может его прочитать.</translation>
    </message>
    <message>
        <source>Outside the build engine&apos;s shared folder %1, the signing tool cannot write it.</source>
        <translation>Вне общей папки среды сборки %1: инструмент подписи не может его записать.</translation>
    </message>
    <message>
        <source>The pass phrase prompt was cancelled.</source>
        <translation>Запрос парольной фразы отменён.</translation>
    </message>
    <message>
        <source>The tool stopped unexpectedly.</source>
        <translation>Инструмент неожиданно остановился.</translation>
    </message>
    <message>
        <source>The tool ended with exit code %1.</source>
        <translation>Инструмент завершился с кодом %1.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>RPM package field cannot be empty</source>
        <translation>Поле пакета RPM не может быть пустым</translation>
    </message>
    <message>
        <source>Failed to add signature: %1</source>
        <translation>Не удалось добавить подпись: %1</translation>
    </message>
    <message>
        <source>Failed to remove signature: %1</source>
        <translation>Не удалось удалить подпись: %1</translation>
    </message>
</context>
<context>
    <name>Quillmark::Internal::ToolCommands</name>
    <message>
        <source>The company name must not contain line breaks or other control characters.</source>
        <translation>Название компании не должно содержать переводов строки и других управляющих символов.</translation>
    </message>
    <message>
        <source>No workspace folder is set, so the request configuration has no place to be written.</source>
        <translation>Папка рабочего пространства не задана, поэтому конфигурацию запроса некуда записать.</translation>
    </message>
    <message>
        <source>Could not open %1 for writing: %2.</source>
        <translation>Не удалось открыть %1 для записи: %2.</translation>
    </message>
    <message>
        <source>Could not write data to %1: %2.</source>
        <translation>Не удалось записать данные в %1: %2.</translation>
    </message>
</context>
<context>
    <name>SignDialog</name>
    <message>
        <source>Sign Packages</source>
        <translation>Подписать пакеты</translation>
    </message>
    <message>
        <source>Sign</source>
        <translation>Подпись</translation>
    </message>
    <message>
        <source>Developer key</source>
        <translation>Ключ разработчика</translation>
    </message>
    <message>
        <source>Developer certificate</source>
        <translation>Сертификат разработчика</translation>
    </message>
    <message>
        <source>Client key</source>
        <translation>Ключ клиента</translation>
    </message>
    <message>
        <source>Client certificate</source>
        <translation>Сертификат клиента</translation>
    </message>
    <message>
        <source>NOTE: Move keys to workspace folder, if you change it</source>
        <translation>ВНИМАНИЕ: при смене рабочей папки перенесите ключи в неё</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;For the &lt;span style=&quot; font-weight:700;&quot;&gt;regular&lt;/span&gt; profile, the key and certificate can be found in the &lt;a href=&quot;%folder_link%&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#2980b9;&quot;&gt;folder&lt;/span&gt;&lt;/a&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Ключ и сертификат профиля &lt;span style=&quot; font-weight:700;&quot;&gt;regular&lt;/span&gt; находятся в &lt;a href=&quot;%folder_link%&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#2980b9;&quot;&gt;папке&lt;/span&gt;&lt;/a&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Add signature</source>
        <translation>Добавить подпись</translation>
    </message>
    <message>
        <source>Verify</source>
        <translation>Проверка</translation>
    </message>
    <message>
        <source>CA certificate</source>
        <translation>Сертификат УЦ</translation>
    </message>
    <message>
        <source>Verify signature</source>
        <translation>Проверить подпись</translation>
    </message>
    <message>
        <source>Dump signature</source>
        <translation>Показать подписи</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Client signature dump&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Подпись клиента&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Developer signature dump&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Подпись разработчика&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Certificate generation</source>
        <translation>Создание сертификата</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>Ключ</translation>
    </message>
    <message>
        <source>Request</source>
        <translation>Запрос</translation>
    </message>
    <message>
        <source>Company name</source>
        <translation>Название компании</translation>
    </message>
    <message>
        <source>Encrypt</source>
        <translation>Зашифровать</translation>
    </message>
    <message>
        <source>Generate</source>
        <translation>Создать</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Пакет</translation>
    </message>
    <message>
        <source>RPM package</source>
        <translation>RPM-пакет</translation>
    </message>
    <message>
        <source>Remove signature</source>
        <translation>Удалить подпись</translation>
    </message>
</context>
</TS>
